#pragma once
// The packer's compression: each file becomes one zlib stream, as the updater reads it. Files are
// compressed on several threads at once, and a large file in pieces of kPackChunkBytes on several
// threads too; the pieces are joined into one stream. The bytes depend only on the data and the
// level, never on the number of threads.
#include <cstddef>
#include <cstdint>

const size_t kPackChunkBytes = 4u << 20;

struct PackOptions {
    int level;          // libdeflate's 0 (stored) to 12
    bool best;          // zopfli instead of libdeflate: smaller, many times slower
    int threads;        // 1 or more
    bool progress;      // a progress bar on stderr (a terminal)
    size_t chunkBytes;  // 0: kPackChunkBytes; tests cut smaller pieces
};

struct PackItem {
    const uint8_t* data;
    size_t size;
    uint8_t* packed;  // the zlib stream, allocated here (AllocChecked); the caller frees it
    size_t packedSize;
};

// Compresses every item's data into its zlib stream. progressDone and progressTotal are the bytes of
// the whole build done before these items and in all, for the progress bar. Returns 0, or -1 when
// memory or a thread could not be had (every packed buffer is then freed and null).
int PackStreams(const PackOptions* opt, PackItem* items, size_t count, uint64_t progressDone, uint64_t progressTotal);

// The number of threads to use by default: the processors online.
int GetDefaultPackThreads();
