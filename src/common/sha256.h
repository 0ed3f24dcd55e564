#pragma once
// SHA-256, streamed: a delta names the content it applies to and the content it makes by their
// hashes, and the program checks both on files far larger than it may hold in memory.
#include <cstddef>
#include <cstdint>

const size_t kSha256Bytes = 32;

struct Sha256 {
    uint32_t state[8];
    uint64_t length;  // bytes hashed so far
    uint8_t block[64];
    size_t used;  // bytes waiting in block
};

void InitSha256(Sha256* sha);
// Whether the processor's SHA instructions hash the blocks where it has them (the default); tests
// turn them off to check the portable code against them.
void UseSha256Instructions(bool on);
void UpdateSha256(Sha256* sha, const void* bytes, size_t n);
// Writes the digest into out (kSha256Bytes); sha must be initialised again before further use.
void FinishSha256(Sha256* sha, uint8_t* out);
