#include "vnpack/pack_compress.h"

#include <libdeflate.h>
#include <pthread.h>
#include <zlib.h>
#include <zopfli/deflate.h>
#include <zopfli/zopfli.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "vnpack/host.h"
#include "vnpack/progress.h"

// One piece of one file. A file is cut at fixed offsets, so the pieces, and with them the stream,
// do not depend on how many threads there are.
struct PackChunk {
    size_t item;
    size_t offset;
    size_t length;
    bool last;          // the file's last piece: its final block stays final
    uint8_t* deflated;  // raw deflate data, non-final pieces ending on a byte boundary
    size_t deflatedSize;
    uint32_t adler;  // Adler-32 of this piece alone
};

struct PackRun {
    const PackOptions* opt;
    PackItem* items;
    PackChunk* chunks;
    size_t chunkCount;
    size_t chunkBytes;
    size_t* order;  // chunks, largest first, so no thread is left with a big one at the end
    size_t next;    // the next entry of order to take
    bool failed;
    uint64_t done;  // bytes compressed, for the progress bar
    Progress bar;
    pthread_mutex_t lock;
};

// After a piece's last block, so that the next piece can follow: an empty stored block, which also
// brings the stream to a byte boundary.
static const uint8_t kSyncTail[] = {0x00, 0x00, 0xFF, 0xFF};

// Turns the final block of one piece into a non-final one and appends an empty stored block, as a
// sync flush would. Inflating the piece finds where its last block starts and how many bits of its
// last byte are unused (Z_BLOCK stops between blocks). Returns 0 or -1.
static int OpenFinalBlock(PackChunk* c, uint8_t* scratch, size_t scratchSize) {
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (inflateInit2(&zs, -15) != Z_OK) return -1;
    zs.next_in = c->deflated;
    zs.avail_in = static_cast<uInt>(c->deflatedSize);
    uint64_t lastStart = 0;
    int unusedBits = -1;
    int z = Z_OK;
    while (z == Z_OK) {
        if (zs.avail_out == 0) {
            zs.next_out = scratch;
            zs.avail_out = static_cast<uInt>(scratchSize);
        }
        z = inflate(&zs, Z_BLOCK);
        // Stopped between blocks (128): before the next header, or, once the last block has been
        // read (64), right after it, where the unused bits of its last byte are still counted.
        if (z == Z_OK && (zs.data_type & 128) != 0) {
            if (zs.data_type & 64) {
                unusedBits = zs.data_type & 7;
            } else {
                lastStart = static_cast<uint64_t>(zs.next_in - c->deflated) * 8 - (zs.data_type & 7);
            }
        }
    }
    bool whole = z == Z_STREAM_END && zs.avail_in == 0 && unusedBits >= 0;
    inflateEnd(&zs);
    if (!whole) return -1;
    c->deflated[lastStart / 8] &= static_cast<uint8_t>(~(1u << (lastStart % 8)));
    // The stored block's 3 header bits go into the zero padding of the last byte when they fit.
    if (unusedBits < 3) c->deflated[c->deflatedSize++] = 0;
    memcpy(c->deflated + c->deflatedSize, kSyncTail, sizeof kSyncTail);
    c->deflatedSize += sizeof kSyncTail;
    return 0;
}

static void AddProgress(PackRun* run, size_t bytes) {
    run->done += bytes;
    ShowProgress(&run->bar, run->done);
}

// zopfli finds a smaller encoding than libdeflate's best, at many times its cost. A piece that
// libdeflate hardly shrinks (an archive already packed) keeps libdeflate's result instead of
// searching for minutes, and zopfli's result is taken only where it is smaller.
static int DeflateBest(struct libdeflate_compressor* thorough, const uint8_t* in, size_t n, uint8_t* out, size_t outSize,
                       size_t* got) {
    *got = libdeflate_deflate_compress(thorough, in, n, out, outSize);
    if (*got == 0) return -1;
    if (*got + *got / 64 >= n) return 0;
    ZopfliOptions options;
    ZopfliInitOptions(&options);
    unsigned char bits = 0;
    unsigned char* zout = nullptr;
    size_t zsize = 0;
    ZopfliDeflate(&options, 2, 1, in, n, &bits, &zout, &zsize);
    if (zout && zsize < *got) {
        memcpy(out, zout, zsize);
        *got = zsize;
    }
    free(zout);
    return 0;
}

// Already-compressed data (pictures, voices, archives) gains nothing from a thorough level, which
// spends more time on it than on anything else. Samples across a piece are tried at the fastest
// level; when together they do not shrink by 1 %, the whole piece goes to that level, which still
// finds what repeats between the samples. Decided from the bytes alone, so the output does not
// depend on the threads.
const size_t kSampleBytes = 16384;
const size_t kSampleCount = 4;

static bool LooksPacked(struct libdeflate_compressor* fast, const uint8_t* in, size_t n, uint8_t* scratch,
                        size_t scratchSize) {
    if (!fast || n < 4 * kSampleCount * kSampleBytes) return false;
    size_t packed = 0;
    for (size_t i = 0; i < kSampleCount; ++i) {
        size_t got = libdeflate_deflate_compress(fast, in + (n - kSampleBytes) / (kSampleCount - 1) * i, kSampleBytes,
                                                 scratch, scratchSize);
        if (got == 0) return false;
        packed += got;
    }
    return packed * 100 >= kSampleCount * kSampleBytes * 99;
}

static int CompressChunk(PackRun* run, PackChunk* c, struct libdeflate_compressor* compressor,
                         struct libdeflate_compressor* fast, uint8_t* scratch, size_t scratchSize) {
    const uint8_t* in = run->items[c->item].data + c->offset;
    size_t bound = libdeflate_deflate_compress_bound(compressor, c->length);
    c->deflated = static_cast<uint8_t*>(AllocChecked(bound + 1 + sizeof kSyncTail));
    if (!c->deflated) return -1;
    if (run->opt->best) {
        if (DeflateBest(compressor, in, c->length, c->deflated, bound, &c->deflatedSize) != 0) return -1;
    } else {
        if (LooksPacked(fast, in, c->length, scratch, scratchSize)) compressor = fast;
        c->deflatedSize = libdeflate_deflate_compress(compressor, in, c->length, c->deflated, bound);
        if (c->deflatedSize == 0) return -1;
    }
    c->adler = static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), in, static_cast<uInt>(c->length)));
    if (!c->last) return OpenFinalBlock(c, scratch, scratchSize);
    return 0;
}

static void* RunWorker(void* arg) {
    PackRun* run = static_cast<PackRun*>(arg);
    struct libdeflate_compressor* compressor = libdeflate_alloc_compressor(run->opt->best ? 12 : run->opt->level);
    bool sampled = !run->opt->best && run->opt->level > 1;
    struct libdeflate_compressor* fast = sampled ? libdeflate_alloc_compressor(1) : nullptr;
    size_t scratchSize = run->chunkBytes;
    uint8_t* scratch = static_cast<uint8_t*>(AllocChecked(scratchSize));
    bool ok = compressor && scratch && (fast || !sampled);
    for (;;) {
        pthread_mutex_lock(&run->lock);
        if (!ok) run->failed = true;
        size_t index = run->failed || run->next == run->chunkCount ? run->chunkCount : run->order[run->next++];
        pthread_mutex_unlock(&run->lock);
        if (index == run->chunkCount) break;
        PackChunk* c = &run->chunks[index];
        ok = CompressChunk(run, c, compressor, fast, scratch, scratchSize) == 0;
        pthread_mutex_lock(&run->lock);
        if (ok) AddProgress(run, c->length);
        pthread_mutex_unlock(&run->lock);
    }
    FreeChecked(scratch);
    if (compressor) libdeflate_free_compressor(compressor);
    if (fast) libdeflate_free_compressor(fast);
    return nullptr;
}

// The zlib header libdeflate writes for a level, so a one-piece file gets its exact bytes.
static void FormatZlibHeader(int level, uint8_t* dst) {
    int hint = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    dst[0] = 0x78;
    dst[1] = static_cast<uint8_t>(hint << 6);
    dst[1] = static_cast<uint8_t>(dst[1] + 31 - (dst[0] * 256 + dst[1]) % 31);
}

// Joins an item's pieces into one zlib stream: header, the pieces, the Adler-32 of the whole file.
static int JoinChunks(const PackOptions* opt, PackItem* item, const PackChunk* first, size_t count) {
    size_t size = 2 + 4;
    for (size_t i = 0; i < count; ++i) size += first[i].deflatedSize;
    item->packed = static_cast<uint8_t*>(AllocChecked(size));
    if (!item->packed) return -1;
    FormatZlibHeader(opt->best ? 12 : opt->level, item->packed);
    uint8_t* p = item->packed + 2;
    uLong adler = adler32(0, nullptr, 0);
    for (size_t i = 0; i < count; ++i) {
        memcpy(p, first[i].deflated, first[i].deflatedSize);
        p += first[i].deflatedSize;
        adler = adler32_combine(adler, first[i].adler, static_cast<z_off_t>(first[i].length));
    }
    for (int shift = 24; shift >= 0; shift -= 8) *p++ = static_cast<uint8_t>(adler >> shift);
    item->packedSize = size;
    return 0;
}

static const PackChunk* s_sortChunks;

static int CompareChunkSizes(const void* a, const void* b) {
    size_t x = *static_cast<const size_t*>(a);
    size_t y = *static_cast<const size_t*>(b);
    size_t lx = s_sortChunks[x].length;
    size_t ly = s_sortChunks[y].length;
    if (lx != ly) return lx > ly ? -1 : 1;
    return x < y ? -1 : x > y;
}

int PackStreams(const PackOptions* opt, PackItem* items, size_t count, uint64_t progressDone, uint64_t progressTotal) {
    int rc = -1;
    PackRun run;
    memset(&run, 0, sizeof run);
    run.opt = opt;
    run.items = items;
    run.done = progressDone;
    StartProgress(&run.bar, progressTotal, 0);
    run.bar.shown = run.bar.shown && opt->progress;
    pthread_mutex_init(&run.lock, nullptr);
    run.chunkBytes = opt->chunkBytes ? opt->chunkBytes : kPackChunkBytes;
    size_t piece = run.chunkBytes;
    int threads = opt->threads > 0 ? opt->threads : 1;
    pthread_t* workers = static_cast<pthread_t*>(AllocChecked(sizeof(pthread_t) * static_cast<size_t>(threads)));
    int started = 0;
    for (size_t i = 0; i < count; ++i) {
        items[i].packed = nullptr;
        run.chunkCount += items[i].size ? (items[i].size + piece - 1) / piece : 1;
    }
    run.chunks = static_cast<PackChunk*>(AllocChecked(sizeof(PackChunk) * (run.chunkCount ? run.chunkCount : 1)));
    run.order = static_cast<size_t*>(AllocChecked(sizeof(size_t) * (run.chunkCount ? run.chunkCount : 1)));
    if (!workers || !run.chunks || !run.order) goto done;
    {
        size_t n = 0;
        for (size_t i = 0; i < count; ++i) {
            size_t offset = 0;
            do {
                PackChunk* c = &run.chunks[n];
                memset(c, 0, sizeof *c);
                c->item = i;
                c->offset = offset;
                c->length = items[i].size - offset < piece ? items[i].size - offset : piece;
                offset += c->length;
                c->last = offset == items[i].size;
                run.order[n] = n;
                ++n;
            } while (offset < items[i].size);
        }
    }
    s_sortChunks = run.chunks;
    qsort(run.order, run.chunkCount, sizeof *run.order, CompareChunkSizes);
    // The calling thread works too; the others join it.
    for (; started < threads - 1; ++started) {
        if (pthread_create(&workers[started], nullptr, RunWorker, &run) != 0) break;
    }
    RunWorker(&run);
    for (int i = 0; i < started; ++i) pthread_join(workers[i], nullptr);
    if (run.failed) goto done;
    for (size_t i = 0, n = 0; i < count; ++i) {
        size_t pieces = 0;
        while (n + pieces < run.chunkCount && run.chunks[n + pieces].item == i) ++pieces;
        if (JoinChunks(opt, &items[i], &run.chunks[n], pieces) != 0) goto done;
        n += pieces;
    }
    rc = 0;
done:
    if (run.chunks) {
        for (size_t i = 0; i < run.chunkCount; ++i) FreeChecked(run.chunks[i].deflated);
    }
    if (rc != 0) {
        for (size_t i = 0; i < count; ++i) {
            FreeChecked(items[i].packed);
            items[i].packed = nullptr;
        }
    }
    FreeChecked(run.order);
    FreeChecked(run.chunks);
    FreeChecked(workers);
    pthread_mutex_destroy(&run.lock);
    return rc;
}

int GetDefaultPackThreads() {
    int n = GetHostProcessorCount();
    return n < 1 ? 1 : n > 64 ? 64 : n;
}
