#include "payload/payload_format.h"

#include <zlib.h>

#include <cstring>

#include "common/le_bytes.h"
#include "common/sjis.h"
#include "common/str_util.h"
#include "payload/pe_trailer.h"

// The shipped program hands zlib the record size of the 32-bit stream structure.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(z_stream) == 56, "the 32-bit program passes a 56-byte z_stream");
#endif

// zlib compares only the first character of the version text, so any 1.x library accepts it.
static const char kZlibVersion[] = "1.2.1";

const char* DescribePayloadError(int error) {
    switch (error) {
    case kPayloadOk: return "no error";
    case kPayloadNoTrailer: return "no payload trailer (file too short, or its offset lies outside the file)";
    case kPayloadTruncated: return "the payload ends before its end marker";
    case kPayloadBadName: return "bad record name (empty, not terminated, or over 259 bytes)";
    case kPayloadUnsafeName: return "unsafe record name (leading separator, drive, colon or '..')";
    case kPayloadLongPath: return "destination and name exceed 259 bytes";
    case kPayloadBadDir: return "directory record without a backslash in its name";
    case kPayloadTooBig: return "file record of 2 GiB or more";
    case kPayloadBadStream: return "damaged zlib stream or bad Adler-32";
    case kPayloadLongStream: return "zlib stream runs past its packed size";
    case kPayloadShortStream: return "zlib stream ends before its packed size";
    case kPayloadSizeMismatch: return "stream does not inflate to the record's size";
    case kPayloadSetupInFolder: return "setup file inside a folder: start-up cannot create it";
    case kPayloadSinkFailed: return "write failed";
    case kPayloadNoMemory: return "out of memory";
    case kPayloadReadFailed: return "read error";
    case kPayloadBadCertTable: return "the certificate table lies outside the file or over the payload";
    case kPayloadBadDelta: return "damaged delta (header or instructions)";
    case kPayloadDeltaRange: return "delta reads past the old file or writes past the new size";
    case kPayloadDeltaHash: return "delta does not make the content it names";
    case kPayloadOldMismatch: return "the installed file is not a version any delta applies to";
    case kPayloadOldReadFailed: return "the installed file cannot be read";
    }
    return "unknown error";
}

static int FailReader(PayloadReader* reader, int error) {
    if (reader->error == kPayloadOk) reader->error = error;
    return -1;
}

// Reads n bytes that the caller has checked lie before the trailer.
static int ReadBytes(PayloadReader* reader, void* dst, size_t n) {
    if (fread(dst, 1, n, reader->file) != n) return FailReader(reader, kPayloadReadFailed);
    reader->pos += static_cast<uint32_t>(n);
    reader->consumed += static_cast<uint32_t>(n);
    return 0;
}

static bool Fits(const PayloadReader* reader, uint64_t n) { return reader->pos + n <= reader->end; }

int ReadFileAt(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    FILE* f = static_cast<FILE*>(ctx);
    if (fseek(f, static_cast<long>(offset), SEEK_SET) != 0 || fread(dst, 1, n, f) != n) return -1;
    return 0;
}

int OpenPayloadReader(FILE* f, PayloadReader* reader) {
    memset(reader, 0, sizeof *reader);
    reader->file = f;
    if (fseek(f, 0, SEEK_END) != 0) return FailReader(reader, kPayloadReadFailed);
    long length = ftell(f);
    if (length < 0) return FailReader(reader, kPayloadReadFailed);
    PayloadBounds bounds;
    int error = FindPayloadBounds(static_cast<uint64_t>(length), ReadFileAt, f, &bounds);
    if (error != kPayloadOk) return FailReader(reader, error);
    if (fseek(f, static_cast<long>(bounds.start), SEEK_SET) != 0) return FailReader(reader, kPayloadReadFailed);
    reader->start = bounds.start;
    reader->end = bounds.trailer;
    reader->pos = reader->start;
    reader->total = reader->end - reader->start;
    return 0;
}

int ReadPayloadRecord(PayloadReader* reader, PayloadRecord* rec) {
    uint8_t field[8];
    memset(rec, 0, sizeof *rec);
    if (reader->error != kPayloadOk) return -1;
    if (!Fits(reader, 2)) return FailReader(reader, kPayloadTruncated);
    if (ReadBytes(reader, field, 2) != 0) return -1;
    rec->nameBytes = GetLe16(field);
    if (rec->nameBytes == 0) return 0;
    if (rec->nameBytes > kPayloadNameBytes) return FailReader(reader, kPayloadBadName);
    if (!Fits(reader, rec->nameBytes + 8u)) return FailReader(reader, kPayloadTruncated);
    if (ReadBytes(reader, rec->name, rec->nameBytes) != 0) return -1;
    if (ReadBytes(reader, field, 8) != 0) return -1;
    rec->size = GetLe32(field);
    rec->packedSize = GetLe32(field + 4);
    // The name is used as a C string: a NUL inside would hide the rest of the record's name.
    if (rec->name[rec->nameBytes - 1] != '\0' || strlen(rec->name) != rec->nameBytes - 1) {
        return FailReader(reader, kPayloadBadName);
    }
    int nameCheck = CheckPayloadName(rec->name);
    if (nameCheck != kPayloadOk) return FailReader(reader, nameCheck);
    if (rec->size == kPayloadDirMark) {
        rec->isDir = true;
        if (!SjisFindChar(rec->name, '\\')) return FailReader(reader, kPayloadBadDir);
        return 1;
    }
    rec->isDelta = rec->size == kPayloadDeltaMark;
    if (rec->size >= kPayloadSizeLimit && !rec->isDelta) return FailReader(reader, kPayloadTooBig);
    if (!Fits(reader, 8ull + rec->packedSize)) return FailReader(reader, kPayloadTruncated);
    if (ReadBytes(reader, field, 8) != 0) return -1;
    rec->time = static_cast<uint64_t>(GetLe32(field + 4)) << 32 | GetLe32(field);
    return 1;
}

int ReadPayloadBytes(PayloadReader* reader, void* dst, uint32_t n) {
    if (reader->error != kPayloadOk) return -1;
    if (dst) return ReadBytes(reader, dst, n);
    if (fseek(reader->file, static_cast<long>(reader->pos + n), SEEK_SET) != 0)
        return FailReader(reader, kPayloadReadFailed);
    reader->pos += n;
    reader->consumed += n;
    return 0;
}

// Hands n inflated bytes to the sink; last says the stream has ended, so they must complete the
// record. Stops at the record's size: a small stream that inflates to gigabytes never reaches disk.
// Returns kPayloadOk or the error.
static int DeliverBlock(const PayloadReader* reader, const PayloadRecord* rec, const uint8_t* out, uint32_t n, bool last,
                        PayloadSink sink, void* ctx, uint32_t* written) {
    uint32_t left = rec->size - *written;
    if (last ? left != n : left < n) return kPayloadSizeMismatch;
    *written += n;
    if (n > 0 && sink(ctx, out, n, *written, reader->consumed) != 0) return kPayloadSinkFailed;
    return kPayloadOk;
}

int SeekPayloadReader(PayloadReader* reader, uint32_t pos, uint32_t consumed) {
    if (fseek(reader->file, static_cast<long>(pos), SEEK_SET) != 0) return FailReader(reader, kPayloadReadFailed);
    reader->pos = pos;
    reader->consumed = consumed;
    return 0;
}

int SkipPayloadRecord(PayloadReader* reader, const PayloadRecord* rec) {
    return ReadPayloadBytes(reader, nullptr, rec->isDir ? 0 : rec->packedSize);
}

int InflatePayloadRecord(PayloadReader* reader, const PayloadRecord* rec, uint8_t* in, uint8_t* out, PayloadSink sink,
                         void* ctx) {
    int rc = -1;
    int error = kPayloadOk;
    bool started = false;
    uint32_t remaining = rec->packedSize;
    uint32_t written = 0;
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (reader->error != kPayloadOk || rec->isDir || rec->isDelta) goto done;
    if (inflateInit_(&zs, kZlibVersion, static_cast<int>(sizeof(z_stream))) != Z_OK) {
        error = kPayloadNoMemory;
        goto done;
    }
    started = true;
    zs.next_out = out;
    zs.avail_out = kPayloadBlockBytes;
    for (;;) {
        if (zs.avail_in == 0 && remaining > 0) {
            uint32_t chunk = remaining < kPayloadBlockBytes ? remaining : kPayloadBlockBytes;
            if (ReadBytes(reader, in, chunk) != 0) goto done;
            remaining -= chunk;
            zs.next_in = in;
            zs.avail_in = chunk;
        }
        int z = inflate(&zs, Z_NO_FLUSH);
        if (z == Z_STREAM_END) break;
        if (z == Z_BUF_ERROR && zs.avail_in == 0 && remaining == 0) {
            error = kPayloadLongStream;
            goto done;
        }
        if (z != Z_OK) {
            error = kPayloadBadStream;
            goto done;
        }
        if (zs.avail_out == 0) {
            error = DeliverBlock(reader, rec, out, kPayloadBlockBytes, false, sink, ctx, &written);
            if (error != kPayloadOk) goto done;
            zs.next_out = out;
            zs.avail_out = kPayloadBlockBytes;
        }
    }
    // Bytes left behind the stream would be read as the next record's header.
    if (zs.avail_in != 0 || remaining != 0) {
        error = kPayloadShortStream;
        goto done;
    }
    error = DeliverBlock(reader, rec, out, kPayloadBlockBytes - zs.avail_out, true, sink, ctx, &written);
    if (error != kPayloadOk) goto done;
    started = false;
    if (inflateEnd(&zs) != Z_OK) {
        error = kPayloadBadStream;
        goto done;
    }
    rc = 0;
done:
    if (started) inflateEnd(&zs);
    if (rc != 0) FailReader(reader, error);
    return rc;
}

static bool IsSep(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and spaces from a component, so ". ." or "..." may act as "..".
static bool ClimbsUp(const char* start, const char* end) {
    int dots = 0;
    for (const char* p = start; p < end; ++p) {
        if (*p == '.') {
            ++dots;
        } else if (*p != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

// Checks the components of name split at separators found by stepping with next.
static int CheckComponents(const char* name, const char* (*next)(const char*)) {
    const char* start = name;
    bool first = true;
    for (const char* p = name;; p = next(p)) {
        if (*p != '\0' && !IsSep(*p)) {
            if (*p == ':') return kPayloadUnsafeName;
            continue;
        }
        if (first && p == start) return kPayloadUnsafeName;
        if (ClimbsUp(start, p)) return kPayloadUnsafeName;
        if (*p == '\0') return kPayloadOk;
        first = false;
        start = p + 1;
    }
}

static const char* NextByte(const char* s) { return *s ? s + 1 : s; }

int CheckPayloadName(const char* name) {
    size_t len = strlen(name);
    if (len == 0 || len >= kPayloadNameBytes) return kPayloadBadName;
    int rc = CheckComponents(name, SjisNext);
    if (rc == kPayloadOk) rc = CheckComponents(name, NextByte);
    return rc;
}

int JoinPayloadPath(const char* dest, const char* name, char* dst, size_t dstSize) {
    if (dstSize > kPayloadNameBytes) dstSize = kPayloadNameBytes;
    return FormatStr(dst, dstSize, "%s\\%s", dest, name);
}

int FindSetupStep(const PayloadRecord* rec) {
    if (rec->isDelta) return kSetupSkip;  // setup files travel whole
    if (rec->isDir) {
        const char* sep = SjisFindChar(rec->name, '\\');
        return sep && sep[1] != '\0' ? kSetupStop : kSetupSkip;
    }
    static const char* const kSetupNames[] = {kSetupPictureName, kSetupEnvName, kSetupReadmeMark};
    bool wanted = false;
    for (const char* key : kSetupNames) {
        if (SjisFindStr(rec->name, key)) wanted = true;
    }
    if (!wanted) return kSetupSkip;
    // The walk creates no folders, so a setup file inside one cannot be opened.
    if (SjisFindChar(rec->name, '\\') || SjisFindChar(rec->name, '/')) return kSetupFail;
    return kSetupExtract;
}

size_t FormatPayloadRecord(const char* name, size_t nameLen, uint32_t size, uint32_t packedSize, uint64_t time, uint8_t* dst,
                           size_t dstSize) {
    size_t nameBytes = nameLen + 1;
    size_t length = 2 + nameBytes + 8 + (size == kPayloadDirMark ? 0 : 8);
    if (nameBytes > 0xFFFF || length > dstSize) return 0;
    PutLe16(dst, static_cast<uint16_t>(nameBytes));
    memcpy(dst + 2, name, nameLen);
    dst[2 + nameLen] = '\0';
    uint8_t* p = dst + 2 + nameBytes;
    PutLe32(p, size);
    PutLe32(p + 4, packedSize);
    if (size != kPayloadDirMark) {
        PutLe32(p + 8, static_cast<uint32_t>(time));
        PutLe32(p + 12, static_cast<uint32_t>(time >> 32));
    }
    return length;
}

size_t GetPayloadPadding(uint64_t length) { return static_cast<size_t>((8 - (length + kPayloadTrailerBytes) % 8) % 8); }
