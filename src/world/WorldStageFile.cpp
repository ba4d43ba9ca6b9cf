#include "world/WorldStageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "cli/CommandLineText.h"
#include "cli/TerrainOptions.h"
#include "landing/OutputFile.h"
#include "world/RegularFileRead.h"

namespace {

constexpr char kMagic[8] = {'O', 'R', 'V', 'S', 'T', 'A', 'G', 'E'};
// The magic, the format and the header's length.
constexpr size_t kLeadBytes = 16;
// A header far past what any options give is not one this tool wrote.
constexpr uint32_t kLongestHeader = 1u << 16;

uint64_t Fnv1a(const uint8_t* bytes, size_t size, uint64_t hash = 0xcbf29ce484222325ull)
{
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    }
    return hash;
}

void PutU32(std::vector<uint8_t>& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(uint8_t(value >> (8 * i)));
    }
}

uint64_t GetLittle(const uint8_t* bytes, int count)
{
    uint64_t value = 0;
    for (int i = count; i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// The header's lines as (key, value), in order.
std::vector<std::pair<std::string, std::string>> HeaderEntries(const StageFileKey& key)
{
    std::vector<std::pair<std::string, std::string>> entries = {
        {"version", OneLine(key.version)},
        {"world_definition", std::to_string(kWorldDefinition)},
        {"world_size", std::to_string(key.worldCells)},
        {"stage_size", std::to_string(StageCellsOf(key.worldCells))},
    };
    for (const auto& entry : TerrainWorldEntries(key.terrain)) {
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::pair<std::string, std::string>> ParseHeader(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> entries;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(at, end - at);
        const size_t space = line.find(' ');
        entries.emplace_back(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
        at = end + 1;
    }
    return entries;
}

// Why a header other than the expected one is refused: the first entry that
// differs, named as the user knows it.
std::string Mismatch(const std::string& found, const StageFileKey& key)
{
    const auto want = HeaderEntries(key);
    const auto have = ParseHeader(found);
    for (size_t i = 0; i < want.size(); ++i) {
        const std::string value = i < have.size() && have[i].first == want[i].first ? have[i].second : "?";
        if (value == want[i].second) {
            continue;
        }
        const std::string& name = want[i].first;
        if (name == "version") {
            return "was made by version " + value + " of the tool, not " + want[i].second;
        }
        if (name == "world_definition") {
            return "holds a stage of definition " + value + " of eroded worlds, not " + want[i].second;
        }
        if (name == "world_size") {
            return "was made for --size " + value + ", not " + want[i].second;
        }
        if (name == "stage_size") {
            return "holds a stage of " + value + " cells, not " + want[i].second;
        }
        return "was made with " + name + " " + value + ", not " + want[i].second;
    }
    return "has a header this tool does not write";
}

// The file's bytes, up to `largest`, from a regular file only; otherwise
// the errno (`failure`) or what is wrong with it (`why`).
bool ReadWhole(const std::string& path, uint64_t largest, std::vector<uint8_t>& bytes, int& failure,
               std::string& why)
{
    const RegularFileRead read = ReadRegularFile(path, largest, bytes);
    failure = read.failure;
    if (read.notRegular) {
        why = "is not a regular file";
    } else if (read.tooLong) {
        why = "is too long (" + std::to_string(read.size) + " bytes, a stage file of this world takes at most " +
              std::to_string(largest) + ")";
    }
    return read.Read();
}

// Every value finite and within [lowest, highest], the range the world's
// definition allows; else error names the file and the first cell outside.
bool StageValuesWithin(const Array2D<float>& values, float lowest, float highest, const char* what,
                       const std::string& named, std::string& error)
{
    for (uint32_t y = 0; y < values.GetHeight(); ++y) {
        const float* row = values.Row(y);
        for (uint32_t x = 0; x < values.GetWidth(); ++x) {
            if (!(row[x] >= lowest && row[x] <= highest)) {
                char value[32];
                std::snprintf(value, sizeof value, "%.9g", double(row[x]));
                error = named + "holds the " + what + " " + value + " at stage cell " + std::to_string(x) + "," +
                        std::to_string(y) + ", outside the " + RoundTripFloatText(lowest) + " to " + RoundTripFloatText(highest) +
                        " a world holds; remove it to make it again";
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string StageFilePath(const std::string& out) { return out + ".stage"; }

std::string StageFileHeader(const StageFileKey& key)
{
    std::string text;
    for (const auto& [name, value] : HeaderEntries(key)) {
        text += name + " " + value + "\n";
    }
    return text;
}

bool WriteStageFile(const std::string& path, const StageFileKey& key, const WorldStage& stage, std::string& error)
{
    const std::string header = StageFileHeader(key);
    std::vector<uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
    PutU32(bytes, kStageFileFormat);
    PutU32(bytes, uint32_t(header.size()));
    bytes.insert(bytes.end(), header.begin(), header.end());
    // With lakes, the heights before the fill: the reader fills them again.
    const Array2D<float>& kept = stage.lakes ? stage.unfilled : stage.heights;
    for (uint32_t y = 0; y < stage.cells; ++y) {
        const float* row = kept.Row(y);
        for (uint32_t x = 0; x < stage.cells; ++x) {
            uint32_t bits = 0;
            std::memcpy(&bits, &row[x], sizeof bits);
            PutU32(bytes, bits);
        }
    }
    const uint64_t sum = Fnv1a(bytes.data(), bytes.size());
    PutU32(bytes, uint32_t(sum));
    PutU32(bytes, uint32_t(sum >> 32));
    OutputFile out;
    if (out.Open(path) && out.Write(bytes.data(), bytes.size()) && out.Commit()) {
        return true;
    }
    error = out.Error();
    return false;
}

StageFileRead ReadStageFile(const std::string& path, const StageFileKey& key, WorldStage& stage, std::string& error)
{
    const std::string named = "stage file '" + path + "' ";
    std::vector<uint8_t> bytes;
    int failure = 0;
    std::string why;
    const uint64_t stageCells = StageCellsOf(key.worldCells);
    if (!ReadWhole(path, kLeadBytes + kLongestHeader + stageCells * stageCells * 4 + 8, bytes, failure, why)) {
        if (failure == ENOENT) {
            return StageFileRead::Absent;
        }
        error = failure != 0 ? "cannot read stage file '" + path + "': " + std::strerror(failure) : named + why;
        return StageFileRead::Refused;
    }
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        error = "'" + path + "' is not a stage file (it does not start with ORVSTAGE)";
        return StageFileRead::Refused;
    }
    if (bytes.size() < kLeadBytes) {
        error = named + "is cut short (" + std::to_string(bytes.size()) + " bytes)";
        return StageFileRead::Refused;
    }
    const uint32_t format = uint32_t(GetLittle(&bytes[8], 4));
    if (format != kStageFileFormat) {
        error = named + "is in format " + std::to_string(format) + "; this tool reads format " +
                std::to_string(kStageFileFormat);
        return StageFileRead::Refused;
    }
    const uint32_t headerSize = uint32_t(GetLittle(&bytes[12], 4));
    const uint32_t cells = StageCellsOf(key.worldCells);
    const uint64_t expected = kLeadBytes + uint64_t{headerSize} + uint64_t{cells} * cells * 4 + 8;
    if (headerSize > kLongestHeader || bytes.size() < kLeadBytes + headerSize) {
        error = named + "is cut short (" + std::to_string(bytes.size()) + " bytes, the header alone takes " +
                std::to_string(kLeadBytes + headerSize) + ")";
        return StageFileRead::Refused;
    }
    const std::string header(bytes.begin() + kLeadBytes, bytes.begin() + kLeadBytes + headerSize);
    if (header != StageFileHeader(key)) {
        error = named + Mismatch(header, key) + "; remove it to make it again";
        return StageFileRead::Refused;
    }
    if (bytes.size() != expected) {
        error = named + (bytes.size() < expected ? "is cut short (" : "is too long (") +
                std::to_string(bytes.size()) + " bytes, not " + std::to_string(expected) + ")";
        return StageFileRead::Refused;
    }
    if (Fnv1a(bytes.data(), bytes.size() - 8) != GetLittle(&bytes[bytes.size() - 8], 8)) {
        error = named + "is corrupt: its checksum does not match its bytes";
        return StageFileRead::Refused;
    }
    stage.worldCells = key.worldCells;
    stage.cells = cells;
    stage.eroded = key.terrain.erosion > 0.0f;
    stage.heights = Array2D<float>(cells, cells);
    const uint8_t* at = bytes.data() + kLeadBytes + headerSize;
    for (uint32_t y = 0; y < cells; ++y) {
        float* row = stage.heights.Row(y);
        for (uint32_t x = 0; x < cells; ++x, at += 4) {
            const uint32_t bits = uint32_t(GetLittle(at, 4));
            std::memcpy(&row[x], &bits, sizeof bits);
        }
    }
    // A checksum proves only that the bytes are the ones written: values no
    // world holds would reach every tile unseen.
    if (!StageValuesWithin(stage.heights, 0.0f, 1.0f, "height", named, error)) {
        return StageFileRead::Refused;
    }
    if (StageKeepsLakes(key.terrain, key.worldCells, cells)) {
        Array2D<float> unfilled = std::move(stage.heights);
        StageWithLakes(stage, std::move(unfilled));
    }
    RouteStage(stage);
    if (!StageValuesWithin(stage.upstream, 1.0f, float(uint64_t{cells} * cells), "upstream area", named, error)) {
        return StageFileRead::Refused;
    }
    return StageFileRead::Read;
}

std::shared_ptr<const WorldStage> ReuseOrMakeStage(const std::string& path, const StageFileKey& key,
                                                   unsigned threads, std::string& error,
                                                   const std::function<void(double)>& progress)
{
    auto stage = std::make_shared<WorldStage>();
    switch (ReadStageFile(path, key, *stage, error)) {
    case StageFileRead::Read:
        return stage;
    case StageFileRead::Refused:
        return nullptr;
    case StageFileRead::Absent:
        break;
    }
    // Tasks that find it absent at once each compute the same bytes and each
    // land a whole file under the name; none reads a part.
    *stage = ComputeWorldStage(key.terrain, key.worldCells, threads, progress);
    if (!WriteStageFile(path, key, *stage, error)) {
        return nullptr;
    }
    return stage;
}
