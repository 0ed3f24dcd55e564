#pragma once
// Where the payload's trailer lies. Authenticode signing appends a certificate table after
// everything else, so in a signed updater the trailer is not the file's last 4 bytes but the 4
// bytes just before that table; the table is found through the PE headers, which signing keeps.
#include <cstddef>
#include <cstdint>

// Reads n bytes at offset into dst. Returns 0, or -1 when they cannot all be read.
typedef int (*ReadAtFn)(void* ctx, uint64_t offset, uint8_t* dst, size_t n);

// The certificate-table entry (data directory 4) of a PE file, as far as its headers can be read.
struct PeCertEntry {
    bool found;               // the headers hold the entry; false for anything that is not a full PE header
    uint64_t entryOffset;     // file offset of the entry's 8 bytes (the table's offset, then its size)
    uint64_t checksumOffset;  // file offset of the optional header's checksum
    uint32_t tableOffset;     // a file offset, not an RVA
    uint32_t tableBytes;
};

// Reads the PE headers of a file of `length` bytes. Returns 0 (entry->found tells whether it holds
// a certificate-table entry), or -1 when a read fails.
int FindPeCertEntry(uint64_t length, ReadAtFn read, void* ctx, PeCertEntry* entry);

struct PayloadBounds {
    uint32_t start;    // offset of the first record
    uint32_t trailer;  // offset of the trailer: the payload ends there
    bool isSigned;     // a certificate table follows the trailer and ends the file
    uint32_t tableOffset;
    uint32_t tableBytes;
};

// Finds the trailer of a file of `length` bytes: just before a certificate table that is present,
// 8-byte aligned and ends the file, and otherwise in the last 4 bytes. Returns kPayloadOk, or
// kPayloadNoTrailer, kPayloadBadCertTable (a table outside the file or over the payload) or
// kPayloadReadFailed.
int FindPayloadBounds(uint64_t length, ReadAtFn read, void* ctx, PayloadBounds* bounds);
