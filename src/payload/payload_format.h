#pragma once
// The payload appended to the updater: records of (name, size, packed size, last-write time, zlib
// stream), an end marker, and a 4-byte trailer holding the offset of the first record. The packer
// and the reader both use this header, so the two sides cannot disagree on a field.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/str_util.h"

const uint32_t kPayloadBlockBytes = 0x20000;   // inflate buffers and progress units
const uint32_t kPayloadDirMark = 0xFFFFFFFFu;  // the size field of a directory record
// The size field of a delta record (payload/delta.h): its data is the delta, not a zlib stream.
// A reader that knows no deltas takes it for a file of 4 GiB and refuses the payload before it
// writes anything; start-up's walk passes over it like any file it does not want.
const uint32_t kPayloadDeltaMark = 0xFFFFFFFEu;
const uint32_t kPayloadSizeLimit = 0x80000000u;  // sizes and file positions are signed 32-bit
const size_t kPayloadNameBytes = kMaxPathBytes;  // a name with its NUL, and a joined path with its NUL
const size_t kPayloadTrailerBytes = 4;
const size_t kPayloadEndBytes = 4;  // the u16 end marker and the two zero bytes after it

// Why a payload was refused. Every one of these makes the program's extraction fail.
enum PayloadError {
    kPayloadOk = 0,
    kPayloadNoTrailer,      // file too short, or the trailer points outside it
    kPayloadTruncated,      // a header or stream runs into the trailer: no end marker
    kPayloadBadName,        // empty, unterminated, NUL inside, or over 259 bytes
    kPayloadUnsafeName,     // leading separator, drive or stream colon, or a ".." component
    kPayloadLongPath,       // destination, separator and name exceed 259 bytes
    kPayloadBadDir,         // a directory record without a backslash in its name
    kPayloadTooBig,         // a file of 2 GiB or more
    kPayloadBadStream,      // damaged deflate data or a bad Adler-32
    kPayloadLongStream,     // the stream runs past its packed size
    kPayloadShortStream,    // the stream ends before its packed size
    kPayloadSizeMismatch,   // the stream yields more or fewer bytes than the record's size
    kPayloadSetupInFolder,  // a setup file inside a folder: start-up could not create it
    kPayloadSinkFailed,     // the caller's sink refused a block (a write failed)
    kPayloadNoMemory,
    kPayloadReadFailed,
    kPayloadBadCertTable,   // the certificate table lies outside the file or over the payload
    kPayloadBadDelta,       // a delta's header or instructions are damaged
    kPayloadDeltaRange,     // a delta reads past the old file or writes past the new size
    kPayloadDeltaHash,      // a delta's result is not the content it names
    kPayloadOldMismatch,    // the installed file is missing or not a content any delta applies to
    kPayloadOldReadFailed,  // the installed file could not be read
};

// A short English description of an error, for the studio's tool.
const char* DescribePayloadError(int error);

struct PayloadRecord {
    char name[kPayloadNameBytes + 1];  // CP932, backslash separators; the spare byte keeps a refused name terminated
    uint32_t nameBytes;                // L, the NUL included
    uint32_t size;                     // inflated size, or kPayloadDirMark
    uint32_t packedSize;               // length of the zlib stream
    uint64_t time;                     // FILETIME of a file or delta record; 0 for a directory
    bool isDir;
    bool isDelta;  // size is kPayloadDeltaMark; the data is a delta of packedSize bytes
};

// Reading position in an open payload. `consumed` counts payload bytes read so far (the overall
// bar); `total` is every byte from the first record up to the trailer.
struct PayloadReader {
    FILE* file;
    uint32_t start;
    uint32_t end;  // offset of the trailer
    uint32_t pos;
    uint32_t total;
    uint32_t consumed;
    int error;  // the first refusal, sticky
};

// Receives inflated bytes: once per full block and once for the final partial block. fileWritten
// counts this file's bytes including these, payloadConsumed the payload bytes read so far. Return
// 0 to go on or -1 to fail the record.
typedef int (*PayloadSink)(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t payloadConsumed);

// Reads n bytes at offset of the FILE* ctx: the ReadAtFn of FindPayloadBounds for an open file.
int ReadFileAt(void* ctx, uint64_t offset, uint8_t* dst, size_t n);

// Finds the payload through the trailer of f (before a signature's certificate table when one ends
// the file) and positions f at the first record.
// Returns 0, or -1 with reader->error set. The caller keeps ownership of f.
int OpenPayloadReader(FILE* f, PayloadReader* reader);

// Reads the next record's header (and a file record's time). Returns 1 with *rec filled, 0 at the
// end marker, or -1 with reader->error set. Names and sizes are checked before anything uses them.
int ReadPayloadRecord(PayloadReader* reader, PayloadRecord* rec);

// Passes over a file record's stream without inflating it. Returns 0 or -1.
int SkipPayloadRecord(PayloadReader* reader, const PayloadRecord* rec);

// Reads n bytes that the record being read holds, or passes over them (dst null). Returns 0, or
// -1 with reader->error set; the caller has checked that they lie inside the record.
int ReadPayloadBytes(PayloadReader* reader, void* dst, uint32_t n);

// Puts the reader back where it stood before, with pos and consumed as they were then. Returns 0
// or -1.
int SeekPayloadReader(PayloadReader* reader, uint32_t pos, uint32_t consumed);

// Inflates a file record's stream into sink through the caller's two buffers of kPayloadBlockBytes
// (read into in, inflated into out), stopping at the record's size. Returns 0 once the whole stream
// checked out, or -1 with reader->error set.
int InflatePayloadRecord(PayloadReader* reader, const PayloadRecord* rec, uint8_t* in, uint8_t* out, PayloadSink sink,
                         void* ctx);

// Checks a NUL-terminated name under both ways Windows may split it: walking CP932 characters and
// byte by byte (another code page splits at the 0x5C trail byte of a character such as ソ).
// Returns kPayloadOk, kPayloadBadName or kPayloadUnsafeName.
int CheckPayloadName(const char* name);

// Joins "dest\name" into dst, a buffer of at least kPayloadNameBytes. Returns 0, or -1 when the
// result would exceed 259 bytes.
int JoinPayloadPath(const char* dest, const char* name, char* dst, size_t dstSize);

// What start-up's walk does with one record.
// The setup files start-up extracts into the work folder: the settings, the splash picture, and
// every name holding ".txt" (the read-mes).
const char kSetupEnvName[] = "install.env";
const char kSetupPictureName[] = "insttscr.rct";
const char kSetupReadmeMark[] = ".txt";

enum SetupStep {
    kSetupSkip,     // not a setup file, or a top-level directory (never created)
    kSetupExtract,  // a top-level setup file
    kSetupStop,     // the first directory below a top-level one ends the walk
    kSetupFail,     // a setup file inside a folder that the walk never creates
};
int FindSetupStep(const PayloadRecord* rec);

// Writes a record header (and a file record's time) into dst: the nameLen bytes of name and a NUL.
// Returns its length, or 0 when dst is too small or the name is longer than a record can hold.
// The packer passes strlen(name); a writer of damaged payloads may pass a name with a NUL inside.
size_t FormatPayloadRecord(const char* name, size_t nameLen, uint32_t size, uint32_t packedSize, uint64_t time, uint8_t* dst,
                           size_t dstSize);

// Bytes of zero padding after the end marker so that a file of `length` bytes plus the trailer is
// a multiple of 8 long.
size_t GetPayloadPadding(uint64_t length);
