#include "shape/GdalShapeReading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi_virtual.h>
#include <gdal.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "cli/CommandLineText.h"

const char* const kShapeDrivers[] = {"GTiff", "PNG",    "JPEG",  "GIF",     "BMP",   "PNM",         "ENVI",
                                     "EHdr",  "VRT",    "HFA",   "AAIGrid", "GSAG",  "GSBG",        "GS7BG",
                                     "SRTMHGT", "USGSDEM", "XYZ", "ERS",    "BT",    "JP2OpenJPEG", "WEBP",
                                     nullptr};

namespace {

// The file systems of /vsi that read local files through the plain layer
// (so through the check below) and that GDAL's drivers use for themselves;
// every other prefix reads a stream or the network and is shut while a
// shape is read.
const char* const kLocalPrefixes[] = {"/vsimem/", "/vsisubfile/", "/vsisparse/", "/vsigzip/", "/vsizip/", "/vsitar/"};

std::mutex refusedLock;
std::string firstRefused;  // guarded by refusedLock

void Refuse(const std::string& why)
{
    std::lock_guard<std::mutex> hold(refusedLock);
    if (firstRefused.empty()) {
        firstRefused = why;
    }
}

#if GDAL_VERSION_NUM >= GDAL_COMPUTE_VERSION(3, 12, 0)
using OpenedHandle = VSIVirtualHandleUniquePtr;
#else
using OpenedHandle = VSIVirtualHandle*;
#endif

// The plain layer's reads, opened only on a regular file: the file is opened
// here without waiting (O_NONBLOCK: a FIFO with no writer does not block),
// checked with fstat, and GDAL's own layer then opens that very file through
// /proc/self/fd, so what is checked is what is read.
class RegularFilesOnly final : public VSIFilesystemHandler {
public:
    explicit RegularFilesOnly(VSIFilesystemHandler* plain) : plain_(plain) {}

    OpenedHandle Open(const char* name, const char* access, bool setError, CSLConstList options) override
    {
        if (access == nullptr || access[0] != 'r' || std::strchr(access, '+') != nullptr) {
            return plain_->Open(name, access, setError, options);
        }
        const int descriptor = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            return plain_->Open(name, access, setError, options);  // fails as GDAL expects (ENOENT, ...)
        }
        struct stat found {};
        if (fstat(descriptor, &found) != 0 || !S_ISREG(found.st_mode)) {
            close(descriptor);
            Refuse("'" + OneLine(name) + "' is not a regular file (a FIFO or device would make GDAL wait)");
            errno = EINVAL;
            return OpenedHandle{};
        }
        OpenedHandle handle = plain_->Open(SameFilePath(descriptor, name).c_str(), access, setError, options);
        close(descriptor);
        return handle;
    }
    int Stat(const char* name, VSIStatBufL* found, int flags) override { return plain_->Stat(name, found, flags); }
    char** ReadDirEx(const char* directory, int most) override { return plain_->ReadDirEx(directory, most); }
    char** SiblingFiles(const char* name) override { return plain_->SiblingFiles(name); }
    int IsCaseSensitive(const char* name) override { return plain_->IsCaseSensitive(name); }

private:
    VSIFilesystemHandler* plain_;
};

// A streaming or network file system: nothing opens, nothing is there.
class Shut final : public VSIFilesystemHandler {
public:
    OpenedHandle Open(const char* name, const char*, bool, CSLConstList) override
    {
        Refuse("'" + OneLine(name) + "' is a stream or a network file, which a shape is not read from");
        errno = EINVAL;
        return OpenedHandle{};
    }
    int Stat(const char*, VSIStatBufL*, int) override
    {
        errno = ENOENT;
        return -1;
    }
};

void CPL_STDCALL CollectMessage(CPLErr errorClass, CPLErrorNum, const char* message)
{
    static_cast<GdalShapeReading*>(CPLGetErrorHandlerUserData())->Collect(int(errorClass), message);
}

// The handlers replaced while a shape is read, to put back after.
std::vector<std::pair<std::string, VSIFilesystemHandler*>> replaced;

}  // namespace

GdalShapeReading::GdalShapeReading()
{
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    {
        std::lock_guard<std::mutex> hold(refusedLock);
        firstRefused.clear();
    }
    static RegularFilesOnly* regular = new RegularFilesOnly(VSIFileManager::GetHandler(""));
    static Shut* shut = new Shut();
    replaced.emplace_back("", VSIFileManager::GetHandler(""));
    VSIFileManager::InstallHandler("", regular);
    char** prefixes = VSIFileManager::GetPrefixes();
    for (char** prefix = prefixes; prefix != nullptr && *prefix != nullptr; ++prefix) {
        bool local = false;
        for (const char* kept : kLocalPrefixes) {
            local = local || std::strcmp(*prefix, kept) == 0;
        }
        if (!local && **prefix != '\0') {
            replaced.emplace_back(*prefix, VSIFileManager::GetHandler(*prefix));
            VSIFileManager::InstallHandler(*prefix, shut);
        }
    }
    CSLDestroy(prefixes);
    const char* before = CPLGetThreadLocalConfigOption("GDAL_ERROR_ON_LIBJPEG_WARNING", nullptr);
    hadJpegWarning_ = before != nullptr;
    jpegWarningBefore_ = before != nullptr ? before : "";
    CPLSetThreadLocalConfigOption("GDAL_ERROR_ON_LIBJPEG_WARNING", "TRUE");
    CPLPushErrorHandlerEx(CollectMessage, this);
    CPLErrorReset();
}

GdalShapeReading::~GdalShapeReading()
{
    CPLPopErrorHandler();
    CPLSetThreadLocalConfigOption("GDAL_ERROR_ON_LIBJPEG_WARNING",
                                  hadJpegWarning_ ? jpegWarningBefore_.c_str() : nullptr);
    for (auto it = replaced.rbegin(); it != replaced.rend(); ++it) {
        VSIFileManager::InstallHandler(it->first, it->second);
    }
    replaced.clear();
}

void* GdalShapeReading::Open(const std::string& path) const
{
    return GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, kShapeDrivers, nullptr, nullptr);
}

std::string GdalShapeReading::Refused() const
{
    std::lock_guard<std::mutex> hold(refusedLock);
    return firstRefused;
}

void GdalShapeReading::Collect(int errorClass, const char* message)
{
    if (errorClass == CE_Warning || errorClass == CE_Failure || errorClass == CE_Fatal) {
        messages_.push_back(OneLine(message != nullptr ? message : ""));
    }
}

bool GdalWouldParse(const std::string& name)
{
    if (name.compare(0, 4, "/vsi") == 0 || name.compare(0, 1, "<") == 0) {
        return true;
    }
    const size_t colon = name.find(':');
    return colon != std::string::npos && colon < name.find('/');
}

std::string GdalPlainPath(const std::string& name)
{
    return name.compare(0, 1, "/") == 0 || name.compare(0, 2, "./") == 0 ? name : "./" + name;
}

std::string SameFilePath(int descriptor, const std::string& name)
{
    const std::string same = "/proc/self/fd/" + std::to_string(descriptor);
    return access(same.c_str(), R_OK) == 0 ? same : name;
}
