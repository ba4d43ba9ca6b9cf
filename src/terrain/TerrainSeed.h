#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The key a terrain is grown from: the seed text's bytes, zero-padded to whole
// 32-bit little-endian words (byte 0 is the low byte of word 0). The coarse
// levels feed it to SeedRandomByKey; the finer levels of large maps hash it.
class TerrainSeed {
public:
    static constexpr size_t maxTextBytes = 256;

    // The viewer's fixed seed: the first 40 bytes of its seed text, ten words.
    static TerrainSeed Default();

    // False (and the seed unchanged) when text is empty or longer than
    // maxTextBytes.
    static bool FromText(const std::string& text, TerrainSeed& seed);

    const std::vector<uint32_t>& Words() const { return words; }
    // The text the key was made from; for the default, its 40 key bytes.
    const std::string& Text() const { return text; }
    bool IsDefault() const;

private:
    std::string text;
    std::vector<uint32_t> words;
};
