#include "terrain/TerrainSeed.h"

namespace {

// Only the first 40 bytes are the key; the last character was never used.
const char viewerSeedText[] = "Quenby Marlowtide Sprocket Lantern Gambit";
constexpr size_t viewerKeyBytes = 40;

std::vector<uint32_t> KeyWords(const std::string& text)
{
    std::vector<uint32_t> words((text.size() + 3) / 4, 0u);
    for (size_t i = 0; i < text.size(); ++i) {
        words[i / 4] |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * (i % 4));
    }
    return words;
}

}  // namespace

TerrainSeed TerrainSeed::Default()
{
    TerrainSeed seed;
    seed.text.assign(viewerSeedText, viewerKeyBytes);
    seed.words = KeyWords(seed.text);
    return seed;
}

bool TerrainSeed::FromText(const std::string& text, TerrainSeed& seed)
{
    if (text.empty() || text.size() > maxTextBytes) {
        return false;
    }
    seed.text = text;
    seed.words = KeyWords(text);
    return true;
}

bool TerrainSeed::IsDefault() const { return words == Default().words; }
