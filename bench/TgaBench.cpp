#include "render/TgaImage.h"
#include "render/TgaMemorySource.h"

#include "TgaBytes.h"

#include <benchmark/benchmark.h>

// A font-sized 256 x 512 32-bit image decoded from memory; argument 0 is the
// uncompressed form, 1 the run-length encoded one.
static void BM_DecodeTGA(benchmark::State& state)
{
    const bool compressed = state.range(0) != 0;
    const TgaBytes::Bytes pixels = TgaBytes::GlyphPattern(256, 512, 4);
    const TgaBytes::Bytes file = TgaBytes::Concat(TgaBytes::Header(compressed ? 10 : 2, 256, 512, 32),
                                                  compressed ? TgaBytes::EncodeRle(pixels, 4) : pixels);
    for (auto _ : state) {
        TgaMemorySource source(file.data(), file.size());
        TgaImage image;
        if (!DecodeTGA(source, image)) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
    state.SetLabel(compressed ? "rle, " + std::to_string(file.size()) + " bytes" : "uncompressed");
}
BENCHMARK(BM_DecodeTGA)->Arg(0)->Arg(1);
