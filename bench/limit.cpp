// The extraction limit: the least a program can do to turn the payload into files. It walks the
// same records, inflates the same zlib streams through two 128 KiB buffers, writes each file and
// stamps its time, with no window, no checks beyond zlib's and no staging.
// usage: limit UPDATE.exe DEST
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "limit_io.h"

static const size_t kBlock = 0x20000;
static unsigned char s_in[kBlock];
static unsigned char s_out[kBlock];

static uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

static int InflateFile(FILE* f, uint32_t packed, void* out) {
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK) return -1;
    int z = Z_OK;
    while (z != Z_STREAM_END) {
        if (zs.avail_in == 0) {
            size_t chunk = packed < kBlock ? packed : kBlock;
            if (chunk == 0 || fread(s_in, 1, chunk, f) != chunk) break;
            packed -= static_cast<uint32_t>(chunk);
            zs.next_in = s_in;
            zs.avail_in = static_cast<uInt>(chunk);
        }
        zs.next_out = s_out;
        zs.avail_out = kBlock;
        z = inflate(&zs, Z_NO_FLUSH);
        if (z != Z_OK && z != Z_STREAM_END) break;
        size_t n = kBlock - zs.avail_out;
        if (n && WriteLimitFile(out, s_out, n) != 0) break;
    }
    inflateEnd(&zs);
    return z == Z_STREAM_END ? 0 : -1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: limit UPDATE.exe DEST\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    unsigned char field[16];
    char name[300];
    if (!f || fseek(f, -4, SEEK_END) != 0 || fread(field, 1, 4, f) != 4) return 1;
    if (fseek(f, static_cast<long>(U32(field)), SEEK_SET) != 0) return 1;
    for (;;) {
        if (fread(field, 1, 2, f) != 2) return 1;
        size_t len = field[0] | field[1] << 8;
        if (len == 0) break;
        if (len > sizeof name || fread(name, 1, len, f) != len || fread(field, 1, 8, f) != 8) return 1;
        name[len - 1] = '\0';
        uint32_t size = U32(field);
        uint32_t packed = U32(field + 4);
        if (size == 0xFFFFFFFFu) {
            CreateLimitDir(argv[2], name);
            continue;
        }
        if (fread(field, 1, 8, f) != 8) return 1;
        uint64_t time = U32(field) | static_cast<uint64_t>(U32(field + 4)) << 32;
        void* out = CreateLimitFile(argv[2], name);
        if (!out || InflateFile(f, packed, out) != 0 || CloseLimitFile(out, time) != 0) {
            fprintf(stderr, "limit: %s failed\n", name);
            return 1;
        }
    }
    fclose(f);
    return 0;
}
