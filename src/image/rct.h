#pragma once
// RCT pictures: a header, then literal runs and back-references into the pixels already decoded.
// Pixels are 24-bit, blue-green-red, rows top to bottom. Everything here is portable and treats the
// file as untrusted: every fault gives a status, never an access outside the given buffers.
#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr size_t kRctMagicBytes = 8;
constexpr size_t kRctHeaderBytes = 20;  // magic, width, height, data size
constexpr int32_t kRctMaxSide = 16384;  // wider or taller pictures are refused
constexpr int64_t kRctMaxPixelBytes = 256 << 20;
constexpr int kRctOffsetCount = 32;
constexpr int32_t kRctMaxLongCopy = 65535 + 4;       // pixels of one long copy
constexpr int32_t kRctMaxLongLiteral = 65535 + 128;  // pixels of one long literal run

// The plain form, and the form that carries a name before the data ("六丁TC00", "六丁TC01").
extern const uint8_t kRctMagicPlain[kRctMagicBytes];
extern const uint8_t kRctMagicNamed[kRctMagicBytes];

enum RctStatus {
    kRctOk = 0,
    kRctBadMagic = -1,     // not an RCT picture
    kRctBadSize = -2,      // width or height out of range, or a data size below 3
    kRctTruncated = -3,    // the file is shorter than its header says
    kRctNoMemory = -4,     // the data buffer could not be had
    kRctDataShort = -5,    // an item needs more data than there is
    kRctCopyOutside = -6,  // a copy reaches before the picture or into pixels not yet decoded
    kRctPastEnd = -7,      // an item runs past the last pixel
};

// One line for a status, for tools ("copy reaches outside the decoded pixels").
const char* DescribeRctStatus(int status);

// The header of a file, with the compressed data once loaded.
struct RctFile {
    int32_t width;
    int32_t height;
    int32_t dataSize;
    uint8_t* data;  // dataSize bytes from AllocChecked, owned; null until loaded
};

// Checks width and height against the limits: 0, or kRctBadSize.
int CheckRctSize(int32_t width, int32_t height);

// Reads a whole RCT file from f (positioned at its start): header, the name of the named form
// (skipped), then the data into a new buffer. Returns 0, or a negative RctStatus with out->data null.
// Release with FreeRctFile.
int ReadRctFile(FILE* f, RctFile* out);
void FreeRctFile(RctFile* file);

// The 32 byte offsets of copy sources for rows of width pixels, built once per picture.
void BuildRctOffsets(int32_t width, int32_t offsets[kRctOffsetCount]);

// Decodes data into pixels as packed rows (row r at 3 * width * r). pixelsSize is what the caller
// has: at least 3 * width * height. Returns 0, or a negative RctStatus; pixels are then partly written.
int DecodeRct(const uint8_t* data, size_t dataSize, int32_t width, int32_t height, uint8_t* pixels, size_t pixelsSize);

// Bytes per row of a 24-bit bitmap: 3 * width rounded up to a multiple of 4.
int32_t RowStride(int32_t width);

// Moves height rows packed at 3 * width bytes to rows stride bytes apart, in place. The last row
// moves first, since every row moves forward. The padding bytes keep what they held.
void AlignPackedRows(uint8_t* bits, int32_t width, int32_t height, int32_t stride);

// Upper bound of the data EncodeRct writes for a picture of this size.
size_t RctEncodeBound(int32_t width, int32_t height);

// Encodes packed pixels into out (outSize >= RctEncodeBound), choosing for every position the
// longest match among the 32 offsets. Returns 0 and the data length in *outLen, or -1 on bad
// arguments.
int EncodeRct(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* out, size_t outSize, size_t* outLen);

// Writes a header (the named form when name is not null; nameLen <= 65535) to f, then data.
// Returns 0, or -1 when a write failed.
int WriteRctFile(FILE* f, int32_t width, int32_t height, const char* name, size_t nameLen, const uint8_t* data,
                 size_t dataSize);
