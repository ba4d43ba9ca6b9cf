#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ScratchDirectory.h"
#include "landing/OutputFile.h"

namespace {

const int kSkipped = 77;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 31 + seed + (i >> 11));
    }
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> ScratchDirectoryEntries(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : mode_t(-1);
}

// Writes bytes as a program would, printing the failure as a program does.
bool Export(const std::string& path, const std::vector<uint8_t>& bytes)
{
    OutputFile output;
    if (output.Open(path) && output.Write(bytes.data(), bytes.size()) && output.Commit()) {
        return true;
    }
    fprintf(stderr, "test export: %s\n", output.Error().c_str());
    return false;
}

// Puts the real system calls back whatever a test did to them.
class SystemCallsScope {
public:
    SystemCallsScope() : saved(outputFileSystemCalls) {}
    ~SystemCallsScope() { outputFileSystemCalls = saved; }

private:
    OutputFileSystemCalls saved;
};

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : saved(umask(mask)) {}
    ~UmaskScope() { umask(saved); }

private:
    mode_t saved;
};

TEST(OutputFile, NewFileHoldsTheBytesWithTheUsualPermissions)
{
    ScratchDirectory dir;
    UmaskScope mask(027);
    const std::string path = dir.File("new.bin");
    // Larger than the buffer and not a multiple of it, written in uneven parts.
    const std::vector<uint8_t> bytes = Pattern(3 * 1048576 + 12345, 1);
    OutputFile output;
    ASSERT_TRUE(output.Open(path));
    EXPECT_TRUE(output.Seekable());
    size_t at = 0;
    for (size_t part : {size_t(1), size_t(70000), size_t(2 * 1048576), size_t(5)}) {
        ASSERT_TRUE(output.Write(bytes.data() + at, part));
        at += part;
    }
    ASSERT_TRUE(output.Write(bytes.data() + at, bytes.size() - at));
    EXPECT_EQ(ReadFileBytes(path), std::vector<uint8_t>()) << "visible before Commit";
    ASSERT_TRUE(output.Commit());
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(ModeOf(path), mode_t(0640));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"new.bin"});
}

TEST(OutputFile, ReplacementKeepsTheOldModeAndLeavesTheOldInodeUntouched)
{
    ScratchDirectory dir;
    const std::string path = dir.File("map.bin");
    const std::vector<uint8_t> old = Pattern(5000, 2);
    WriteFile(path, old);
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    // A reader that opened the old file keeps seeing all of it.
    const int reader = open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);

    const std::vector<uint8_t> fresh = Pattern(7000, 3);
    ASSERT_TRUE(Export(path, fresh));
    EXPECT_EQ(ReadFileBytes(path), fresh);
    EXPECT_EQ(ModeOf(path), mode_t(0604));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"map.bin"});

    std::vector<uint8_t> seen(old.size() + 10);
    const ssize_t got = pread(reader, seen.data(), seen.size(), 0);
    close(reader);
    ASSERT_EQ(got, ssize_t(old.size()));
    seen.resize(size_t(got));
    EXPECT_EQ(seen, old);
}

// Each system call that decides the outcome fails once, over an existing file.
struct InjectedFailure {
    const char* name;
    void (*install)();
    const char* reason;
};

void PrintTo(const InjectedFailure& failure, std::ostream* out) { *out << failure.name; }

int writesLeft = 0;
ssize_t WriteThenRunOutOfSpace(int descriptor, const void* bytes, size_t size)
{
    if (writesLeft-- > 0) {
        return write(descriptor, bytes, size < 1000 ? size : 1000);  // a short write first
    }
    errno = ENOSPC;
    return -1;
}
int FailingFsync(int) { return errno = EIO, -1; }
int FailingRename(int, const char*, int, const char*) { return errno = EXDEV, -1; }

class OutputFileFailure : public testing::TestWithParam<InjectedFailure> {};

TEST_P(OutputFileFailure, LeavesTheOldFileAndNoTemporaryWithOneLine)
{
    ScratchDirectory dir;
    const std::string path = dir.File("kept.tga");
    const std::vector<uint8_t> old = Pattern(4096, 4);
    WriteFile(path, old);
    SystemCallsScope restore;
    GetParam().install();

    const std::vector<uint8_t> fresh = Pattern(2 * 1048576 + 77, 5);
    testing::internal::CaptureStderr();
    OutputFile output;
    ASSERT_TRUE(output.Open(path));
    bool succeeded = output.Write(fresh.data(), fresh.size() / 2);
    succeeded = output.Write(fresh.data() + fresh.size() / 2, fresh.size() - fresh.size() / 2) && succeeded;
    succeeded = output.Commit() && succeeded;
    // The first failure is the one kept; nothing is printed.
    EXPECT_FALSE(output.Write(fresh.data(), 10));
    EXPECT_FALSE(output.Commit());
    EXPECT_FALSE(output.Fail("again"));
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(succeeded);
    EXPECT_TRUE(output.Failed());
    EXPECT_EQ(output.Descriptor(), -1);
    EXPECT_EQ(said, "");
    EXPECT_EQ(output.Error(), "writing \"" + path + "\" failed: " + GetParam().reason);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kept.tga"});
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, OutputFileFailure,
    testing::Values(
        InjectedFailure{"FirstWrite", [] { writesLeft = 0, outputFileSystemCalls.write = WriteThenRunOutOfSpace; },
                        "No space left on device"},
        InjectedFailure{"LaterWrite", [] { writesLeft = 3, outputFileSystemCalls.write = WriteThenRunOutOfSpace; },
                        "No space left on device"},
        InjectedFailure{"Fsync", [] { outputFileSystemCalls.fsync = FailingFsync; }, "Input/output error"},
        InjectedFailure{"Rename", [] { outputFileSystemCalls.renameat = FailingRename; }, "Invalid cross-device link"}),
    [](const testing::TestParamInfo<InjectedFailure>& info) { return std::string(info.param.name); });

TEST(OutputFile, LibraryFailureAndAbandonmentLeaveTheOldFile)
{
    ScratchDirectory dir;
    const std::string path = dir.File("kept.exr");
    const std::vector<uint8_t> old = Pattern(300, 6);
    WriteFile(path, old);
    const std::vector<uint8_t> fresh = Pattern(900, 7);

    testing::internal::CaptureStderr();
    {
        OutputFile output;
        ASSERT_TRUE(output.Open(path));
        ASSERT_TRUE(output.Write(fresh.data(), fresh.size()));
        ASSERT_TRUE(output.Flush());
        EXPECT_FALSE(output.Fail("the encoder gave up"));
        EXPECT_FALSE(output.Fail("twice"));
        EXPECT_EQ(output.Error(), "writing \"" + path + "\" failed: the encoder gave up");
    }
    {
        OutputFile dropped;  // never committed: quietly abandoned
        ASSERT_TRUE(dropped.Open(path));
        ASSERT_TRUE(dropped.Write(fresh.data(), fresh.size()));
        ASSERT_TRUE(dropped.Flush());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kept.exr"});
}

// The way libtiff and OpenEXR use it: buffered header, then the library
// seeks back and writes through the descriptor and the stream.
TEST(OutputFile, DescriptorAndStreamWritesAreCommittedInPlace)
{
    ScratchDirectory dir;
    const std::string path = dir.File("lib.tif");
    WriteFile(path, Pattern(100, 8));
    OutputFile output;
    ASSERT_TRUE(output.Open(path));
    ASSERT_TRUE(output.Write("HEADER--", 8));
    ASSERT_TRUE(output.Flush());
    const int descriptor = output.Descriptor();
    ASSERT_GE(descriptor, 0);
    ASSERT_TRUE(output.Seekable());
    ASSERT_EQ(lseek(descriptor, 0, SEEK_END), 8);
    ASSERT_EQ(write(descriptor, "body", 4), 4);
    ASSERT_EQ(lseek(descriptor, 6, SEEK_SET), 6);
    ASSERT_EQ(write(descriptor, "!!", 2), 2);
    ASSERT_EQ(lseek(descriptor, 0, SEEK_END), 12);
    FILE* stream = output.Stream();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(output.Stream(), stream);
    ASSERT_EQ(fputs("+tail", stream), 1);
    ASSERT_TRUE(output.Flush());
    ASSERT_TRUE(output.Write("?", 1));
    EXPECT_EQ(ReadFileBytes(path), Pattern(100, 8)) << "visible before Commit";
    ASSERT_TRUE(output.Commit());
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "HEADER!!body+tail?");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"lib.tif"});
}

TEST(OutputFile, SymbolicLinksAreKeptAndTheirTargetsReplaced)
{
    ScratchDirectory dir;
    ASSERT_EQ(mkdir(dir.File("maps").c_str(), 0755), 0);
    const std::string target = dir.File("maps/real.tga");
    WriteFile(target, Pattern(10, 9));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    // A relative link to a relative link, from another directory.
    ASSERT_EQ(symlink("maps/real.tga", dir.File("middle").c_str()), 0);
    ASSERT_EQ(symlink("middle", dir.File("latest.tga").c_str()), 0);
    ASSERT_EQ(symlink("maps/absent.tga", dir.File("dangling.tga").c_str()), 0);

    const std::vector<uint8_t> fresh = Pattern(20000, 10);
    ASSERT_TRUE(Export(dir.File("latest.tga"), fresh));
    ASSERT_TRUE(Export(dir.File("dangling.tga"), Pattern(30, 11)));

    struct stat link {};
    ASSERT_EQ(lstat(dir.File("latest.tga").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    ASSERT_EQ(lstat(dir.File("middle").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    ASSERT_EQ(lstat(dir.File("dangling.tga").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(ReadFileBytes(target), fresh);
    EXPECT_EQ(ModeOf(target), mode_t(0640));
    EXPECT_EQ(ReadFileBytes(dir.File("maps/absent.tga")), Pattern(30, 11));
    EXPECT_EQ(ScratchDirectoryEntries(dir.File("maps")), (std::vector<std::string>{"absent.tga", "real.tga"}));
}

TEST(OutputFile, NamesThatCannotBeWrittenGiveOneLineAndCreateNothing)
{
    ScratchDirectory dir;
    ASSERT_EQ(symlink("loop", dir.File("loop").c_str()), 0);
    const std::string missing = dir.File("no such dir/map.tga");
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {missing, "No such file or directory"},
        {dir.Path(), "Is a directory"},
        {dir.Path() + "/", "Is a directory"},
        {"", "No such file or directory"},
        {dir.File("loop"), "Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        OutputFile output;
        EXPECT_FALSE(output.Open(c.path));
        EXPECT_FALSE(output.Write("x", 1));
        EXPECT_FALSE(output.Commit());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(output.Error(), "cannot open \"" + c.path + "\": " + c.reason);
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"loop"});
}

// Permission checks do not apply to root, so the child gives that up first.
int AsOrdinaryUser()
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        return kSkipped;
    }
    return 0;
}

TEST(OutputFile, UnwritableDirectoryAndReadOnlyFileAreRefused)
{
    ScratchDirectory dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string locked = dir.File("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    const std::string inLocked = locked + "/old.tga";
    WriteFile(inLocked, Pattern(50, 12));
    ASSERT_EQ(chmod(inLocked.c_str(), 0666), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    const std::string open = dir.File("open");
    ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
    const std::string readOnly = open + "/readonly.tga";
    WriteFile(readOnly, Pattern(60, 13));
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);

    const ChildRun run = RunInChild([&] {
        if (AsOrdinaryUser() != 0) {
            return kSkipped;
        }
        const bool a = Export(locked + "/new.tga", Pattern(10, 14));
        const bool b = Export(inLocked, Pattern(10, 14));
        const bool c = Export(readOnly, Pattern(10, 14));
        return a || b || c ? 1 : 0;
    });
    if (run.status == kSkipped) {
        GTEST_SKIP() << "cannot give up root here";
    }
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "test export: cannot open \"" + locked + "/new.tga\": Permission denied\n"
                       "test export: cannot open \"" + inLocked + "\": Permission denied\n"
                       "test export: cannot open \"" + readOnly + "\": Permission denied\n");
    EXPECT_EQ(ReadFileBytes(inLocked), Pattern(50, 12));
    EXPECT_EQ(ReadFileBytes(readOnly), Pattern(60, 13));
    EXPECT_EQ(ScratchDirectoryEntries(locked), std::vector<std::string>{"old.tga"});
    EXPECT_EQ(ScratchDirectoryEntries(open), std::vector<std::string>{"readonly.tga"});
    chmod(locked.c_str(), 0755);
}

TEST(OutputFile, FullDeviceIsWrittenDirectlyAndReportsTheFailure)
{
    struct stat device {};
    if (stat("/dev/full", &device) != 0 || !S_ISCHR(device.st_mode)) {
        GTEST_SKIP() << "no /dev/full here";
    }
    testing::internal::CaptureStderr();
    OutputFile output;
    ASSERT_TRUE(output.Open("/dev/full"));
    EXPECT_FALSE(output.Write(Pattern(100, 15).data(), 100) && output.Commit());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(output.Error(), "writing \"/dev/full\" failed: No space left on device");
    struct stat after {};
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}

TEST(OutputFile, StandardOutputThroughAPipe)
{
    const std::vector<uint8_t> bytes = Pattern(40000, 16);
    const ChildRun run = RunInChild([&] { return Export("/dev/stdout", bytes) ? 0 : 1; });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(std::vector<uint8_t>(run.out.begin(), run.out.end()), bytes);
}

// Standard output sent to a file is written in place: the name /dev/stdout
// leads to a descriptor, not to a file that could be replaced.
TEST(OutputFile, StandardOutputThroughAFileIsWrittenInPlace)
{
    ScratchDirectory dir;
    const std::string path = dir.File("captured");
    WriteFile(path, {});
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    const std::vector<uint8_t> bytes = Pattern(30000, 22);
    const ChildRun run = RunInChild([&] {
        const int file = open(path.c_str(), O_WRONLY);
        if (file < 0 || dup2(file, 1) != 1) {
            return 2;
        }
        return Export("/dev/stdout", bytes) ? 0 : 1;
    });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(path), bytes);
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "replaced instead of written";
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"captured"});
}

// ">> log": the bytes go after what the file held, which is kept.
TEST(OutputFile, StandardOutputAppendingToAFileKeepsWhatItHeld)
{
    ScratchDirectory dir;
    const std::string path = dir.File("log");
    const std::vector<uint8_t> earlier = Pattern(5000, 3);
    WriteFile(path, earlier);
    const std::vector<uint8_t> bytes = Pattern(30000, 22);
    const ChildRun run = RunInChild([&] {
        const int file = open(path.c_str(), O_WRONLY | O_APPEND);
        if (file < 0 || dup2(file, 1) != 1) {
            return 2;
        }
        return Export("/dev/stdout", bytes) && Export("/dev/fd/1", bytes) ? 0 : 1;
    });
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<uint8_t> expected = earlier;
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(ReadFileBytes(path), expected);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log"});
}

TEST(OutputFile, FifoIsWrittenDirectly)
{
    ScratchDirectory dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<uint8_t> bytes = Pattern(200000, 17);  // more than the pipe holds
    bool seekable = true;
    bool written = false;
    // The reader comes first: a FIFO with no reader is refused, not waited
    // on. A write end held here keeps the reader from seeing the end of the
    // data before the export has even opened; the writer thread lets it go.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const int holder = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(holder, 0);
    fcntl(reader, F_SETFL, fcntl(reader, F_GETFL) & ~O_NONBLOCK);
    std::thread writer([&] {
        OutputFile output;
        if (output.Open(fifo)) {
            seekable = output.Seekable();
            written = output.Write(bytes.data(), bytes.size()) && output.Commit();
        }
        close(holder);
    });
    const std::string got = ReadAll(reader);
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_FALSE(seekable);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.end()), bytes);
    struct stat after {};
    ASSERT_EQ(lstat(fifo.c_str(), &after), 0);
    EXPECT_TRUE(S_ISFIFO(after.st_mode));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"pipe"});
}

// A real write failure, not one injected through the seam: a file size limit
// stops the temporary part way.
TEST(OutputFile, FileSizeLimitLeavesTheOldFile)
{
    ScratchDirectory dir;
    const std::string path = dir.File("limited.tga");
    WriteFile(path, Pattern(500, 18));
    const ChildRun run = RunInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit small{};
        small.rlim_cur = 20000;
        small.rlim_max = RLIM_INFINITY;
        setrlimit(RLIMIT_FSIZE, &small);
        return Export(path, Pattern(49941, 19)) ? 1 : 0;
    });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "test export: writing \"" + path + "\" failed: File too large\n");
    EXPECT_EQ(ReadFileBytes(path), Pattern(500, 18));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"limited.tga"});
}

// A real full disk: a 64 KiB memory file system mounted over the scratch
// directory inside the child's own mount namespace.
TEST(OutputFile, FullFileSystemLeavesTheOldFile)
{
    ScratchDirectory dir;
    const std::string path = dir.File("full.tga");
    const ChildRun run = RunInChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=64k") != 0) {
            return kSkipped;
        }
        WriteFile(path, Pattern(30000, 20));
        if (ReadFileBytes(path) != Pattern(30000, 20)) {
            return 2;
        }
        if (Export(path, Pattern(49941, 21))) {
            return 3;
        }
        if (ReadFileBytes(path) != Pattern(30000, 20)) {
            return 4;
        }
        return ScratchDirectoryEntries(dir.Path()) == std::vector<std::string>{"full.tga"} ? 0 : 5;
    });
    if (run.status == kSkipped) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "test export: writing \"" + path + "\" failed: No space left on device\n");
}

}  // namespace
