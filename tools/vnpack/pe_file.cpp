#include "vnpack/pe_file.h"

#include <cstdint>
#include <cstring>

#include "common/le_bytes.h"
#include "payload/payload_format.h"

static const size_t kCopyBlockBytes = 1 << 20;

static int GetFileLength(FILE* f, uint64_t* length) {
    if (fseek(f, 0, SEEK_END) != 0) return -1;
    long n = ftell(f);
    if (n < 0) return -1;
    *length = static_cast<uint64_t>(n);
    return 0;
}

int FindFileBounds(FILE* f, PayloadBounds* bounds) {
    uint64_t length;
    if (GetFileLength(f, &length) != 0) return kPayloadReadFailed;
    return FindPayloadBounds(length, ReadFileAt, f, bounds);
}

int UpdatePeChecksum(FILE* f) {
    uint64_t length;
    PeCertEntry entry;
    if (GetFileLength(f, &length) != 0 || FindPeCertEntry(length, ReadFileAt, f, &entry) != 0) return -1;
    if (!entry.found) return 1;
    static uint8_t block[kCopyBlockBytes + 1];
    uint64_t sum = 0;
    if (fseek(f, 0, SEEK_SET) != 0) return -1;
    for (uint64_t at = 0; at < length;) {
        size_t n = fread(block, 1, kCopyBlockBytes, f);
        if (n == 0) return -1;
        if (n % 2) block[n] = 0;  // an odd last byte counts as a word of its own
        for (size_t i = 0; i < n; i += 2) {
            uint64_t word = at + i;
            if (word >= entry.checksumOffset && word < entry.checksumOffset + 4) continue;
            sum += GetLe16(block + i);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        at += n;
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    uint8_t field[4];
    PutLe32(field, static_cast<uint32_t>(sum + length));
    if (fseek(f, static_cast<long>(entry.checksumOffset), SEEK_SET) != 0 || fwrite(field, 1, 4, f) != 4) return -1;
    return fflush(f) == 0 ? 0 : -1;
}

static int CopyRange(FILE* in, uint64_t n, FILE* out) {
    static uint8_t block[kCopyBlockBytes];
    while (n > 0) {
        size_t chunk = n < sizeof block ? static_cast<size_t>(n) : sizeof block;
        if (fread(block, 1, chunk, in) != chunk || fwrite(block, 1, chunk, out) != chunk) return -1;
        n -= chunk;
    }
    return 0;
}

int WriteUnsignedUpdater(FILE* in, const PayloadBounds* bounds, FILE* out) {
    uint8_t tail[8 + kPayloadTrailerBytes] = {};
    size_t padding = GetPayloadPadding(bounds->trailer);
    PutLe32(tail + padding, bounds->start);
    if (fseek(in, 0, SEEK_SET) != 0 || CopyRange(in, bounds->trailer, out) != 0) return -1;
    if (fwrite(tail, 1, padding + kPayloadTrailerBytes, out) != padding + kPayloadTrailerBytes) return -1;
    if (bounds->isSigned) {
        uint64_t length;
        PeCertEntry entry;
        if (GetFileLength(in, &length) != 0 || FindPeCertEntry(length, ReadFileAt, in, &entry) != 0) return -1;
        const uint8_t none[8] = {};
        if (fseek(out, static_cast<long>(entry.entryOffset), SEEK_SET) != 0 || fwrite(none, 1, 8, out) != 8) return -1;
    }
    return UpdatePeChecksum(out) < 0 ? -1 : 0;
}
