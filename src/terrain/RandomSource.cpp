#include "terrain/RandomSource.h"

namespace {

constexpr int stateSize = 624;
constexpr int middleOffset = 397;
constexpr uint32_t twistMatrix = 0x9908B0DFu;
constexpr uint32_t upperMask = 0x80000000u;
constexpr uint32_t lowerMask = 0x7FFFFFFFu;

// One state per thread: the viewer regenerates its map on the main thread
// while a worker makes the detailed one, and each reseeds before drawing.
thread_local uint32_t state[stateSize];
// stateSize + 1 means never seeded; the first draw then seeds with 5489.
thread_local int nextIndex = stateSize + 1;

uint32_t Twist(uint32_t upper, uint32_t lower, uint32_t far)
{
    const uint32_t y = (upper & upperMask) | (lower & lowerMask);
    return far ^ (y >> 1) ^ ((y & 1u) ? twistMatrix : 0u);
}

void RegenerateBlock()
{
    if (nextIndex == stateSize + 1) {
        SeedRandom(5489u);
    }
    int k = 0;
    for (; k < stateSize - middleOffset; ++k) {
        state[k] = Twist(state[k], state[k + 1], state[k + middleOffset]);
    }
    for (; k < stateSize - 1; ++k) {
        state[k] = Twist(state[k], state[k + 1], state[k + (middleOffset - stateSize)]);
    }
    state[stateSize - 1] = Twist(state[stateSize - 1], state[0], state[middleOffset - 1]);
    nextIndex = 0;
}

} // namespace

void SeedRandom(uint32_t seed)
{
    state[0] = seed;
    for (int i = 1; i < stateSize; ++i) {
        state[i] = 1812433253u * (state[i - 1] ^ (state[i - 1] >> 30)) + static_cast<uint32_t>(i);
    }
    nextIndex = stateSize;
}

void SeedRandomByKey(const uint32_t* key, int keyLength)
{
    SeedRandom(19650218u);
    int i = 1;
    int j = 0;
    for (int k = (stateSize > keyLength ? stateSize : keyLength); k > 0; --k) {
        state[i] = (state[i] ^ ((state[i - 1] ^ (state[i - 1] >> 30)) * 1664525u)) + key[j] +
                   static_cast<uint32_t>(j);
        ++i;
        ++j;
        if (i >= stateSize) {
            state[0] = state[stateSize - 1];
            i = 1;
        }
        if (j >= keyLength) {
            j = 0;
        }
    }
    for (int k = stateSize - 1; k > 0; --k) {
        state[i] = (state[i] ^ ((state[i - 1] ^ (state[i - 1] >> 30)) * 1566083941u)) -
                   static_cast<uint32_t>(i);
        ++i;
        if (i >= stateSize) {
            state[0] = state[stateSize - 1];
            i = 1;
        }
    }
    // Guarantees a non-zero initial state.
    state[0] = 0x80000000u;
}

uint32_t RandomUInt32()
{
    if (nextIndex >= stateSize) {
        RegenerateBlock();
    }
    uint32_t y = state[nextIndex++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

uint32_t RandomUInt31() { return RandomUInt32() >> 1; }

double RandomClosed() { return RandomUInt32() * (1.0 / 4294967295.0); }

double RandomHalfOpen() { return RandomUInt32() * (1.0 / 4294967296.0); }

double RandomOpen() { return (static_cast<double>(RandomUInt32()) + 0.5) * (1.0 / 4294967296.0); }

double Random53()
{
    const uint32_t a = RandomUInt32() >> 5;
    const uint32_t b = RandomUInt32() >> 6;
    return (a * 67108864.0 + b) * (1.0 / 9007199254740992.0);
}
