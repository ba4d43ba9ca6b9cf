#pragma once

#include <cstdint>

// The MT19937 source the terrain generator draws from. One state for each
// thread, so threads that seed and draw on their own do not disturb each
// other; every operation is the published procedure, so the published
// output sequences hold.

// init_genrand: seed the state from one 32-bit value.
void SeedRandom(uint32_t seed);
// init_by_array: seed the state from keyLength 32-bit words.
void SeedRandomByKey(const uint32_t* key, int keyLength);

// genrand_int32: the next tempered word.
uint32_t RandomUInt32();
// genrand_int31: the next word shifted right by one.
uint32_t RandomUInt31();
// genrand_real1: in [0, 1].
double RandomClosed();
// genrand_real2: in [0, 1), exactly word / 2^32.
double RandomHalfOpen();
// genrand_real3: in (0, 1).
double RandomOpen();
// genrand_res53: in [0, 1) with 53-bit resolution; consumes two words.
double Random53();
