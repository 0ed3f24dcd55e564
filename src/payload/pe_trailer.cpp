#include "payload/pe_trailer.h"

#include <cstring>

#include "common/le_bytes.h"
#include "payload/payload_format.h"

static const uint32_t kDosHeaderBytes = 0x40;
static const uint32_t kPeOptionalAt = 24;  // after "PE\0\0" and the 20-byte file header
static const uint32_t kCertDirectory = 4;

int FindPeCertEntry(uint64_t length, ReadAtFn read, void* ctx, PeCertEntry* entry) {
    memset(entry, 0, sizeof *entry);
    uint8_t dos[kDosHeaderBytes];
    // Largest header read: signature, file header, and a PE32+ optional header up to directory 4.
    uint8_t pe[kPeOptionalAt + 112 + (kCertDirectory + 1) * 8];
    if (length < sizeof dos) return 0;
    if (read(ctx, 0, dos, sizeof dos) != 0) return -1;
    if (dos[0] != 'M' || dos[1] != 'Z') return 0;
    uint64_t at = GetLe32(dos + 0x3C);
    if (at + kPeOptionalAt + 2 > length) return 0;
    size_t n = at + sizeof pe <= length ? sizeof pe : static_cast<size_t>(length - at);
    if (read(ctx, at, pe, n) != 0) return -1;
    if (memcmp(pe, "PE\0\0", 4) != 0) return 0;
    uint32_t optionalBytes = GetLe16(pe + 20);
    uint32_t countAt, dirsAt;  // within the optional header
    switch (GetLe16(pe + kPeOptionalAt)) {
    case 0x10B: countAt = 92, dirsAt = 96; break;    // PE32
    case 0x20B: countAt = 108, dirsAt = 112; break;  // PE32+
    default: return 0;
    }
    uint32_t entryAt = kPeOptionalAt + dirsAt + kCertDirectory * 8;
    if (entryAt + 8 > n || kPeOptionalAt + optionalBytes < entryAt + 8) return 0;
    if (GetLe32(pe + kPeOptionalAt + countAt) <= kCertDirectory) return 0;
    entry->found = true;
    entry->entryOffset = at + entryAt;
    entry->checksumOffset = at + kPeOptionalAt + 64;
    entry->tableOffset = GetLe32(pe + entryAt);
    entry->tableBytes = GetLe32(pe + entryAt + 4);
    return 0;
}

int FindPayloadBounds(uint64_t length, ReadAtFn read, void* ctx, PayloadBounds* bounds) {
    memset(bounds, 0, sizeof *bounds);
    if (length < kPayloadTrailerBytes || length >= kPayloadSizeLimit) return kPayloadNoTrailer;
    PeCertEntry entry;
    if (FindPeCertEntry(length, read, ctx, &entry) != 0) return kPayloadReadFailed;
    bool hasTable = entry.found && entry.tableBytes != 0;
    uint64_t tableEnd = static_cast<uint64_t>(entry.tableOffset) + entry.tableBytes;
    if (hasTable && tableEnd > length) return kPayloadBadCertTable;
    bounds->isSigned = hasTable && tableEnd == length && entry.tableOffset % 8 == 0;
    if (bounds->isSigned && entry.tableOffset < kPayloadTrailerBytes) return kPayloadBadCertTable;
    bounds->trailer = static_cast<uint32_t>((bounds->isSigned ? entry.tableOffset : length) - kPayloadTrailerBytes);
    uint8_t trailer[kPayloadTrailerBytes];
    if (read(ctx, bounds->trailer, trailer, sizeof trailer) != 0) return kPayloadReadFailed;
    bounds->start = GetLe32(trailer);
    if (bounds->start > bounds->trailer) return kPayloadNoTrailer;
    // A table that is not the signature at the end shares bytes with what the records are read from.
    if (hasTable && !bounds->isSigned && entry.tableOffset < bounds->trailer + kPayloadTrailerBytes &&
        tableEnd > bounds->start) {
        return kPayloadBadCertTable;
    }
    if (hasTable && bounds->isSigned) {
        bounds->tableOffset = entry.tableOffset;
        bounds->tableBytes = entry.tableBytes;
    }
    return kPayloadOk;
}
