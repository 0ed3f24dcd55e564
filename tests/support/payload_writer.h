#pragma once
// Writes payloads for tests, including what vnpack refuses to make: names that climb out, lying
// sizes, damaged or truncated streams, no end marker, no install.env. Built on the shared record
// format, with zlib for the streams.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TestPayload {
    std::vector<uint8_t> bytes;  // stub, records, end, padding, trailer
    uint32_t start = 0;          // offset of the first record
};

// Damage applied to one file record.
struct TestFileFaults {
    int64_t sizeDelta = 0;                // added to the stored size
    int64_t packedDelta = 0;              // added to the stored packed size
    bool badAdler = false;                // flips a bit of the Adler-32
    size_t cutStream = 0;                 // drops this many bytes from the stream's end
    std::string extra;                    // appended to the stream (counted in the packed size)
    const std::string* stream = nullptr;  // use these stream bytes instead of compressing data
    int64_t size = -1;                    // stored size, when not -1
};

// Deterministic bytes, a quarter random and the rest repetitive, so they compress but not to nothing.
std::string MakeTestPattern(size_t n, uint32_t seed);

std::string CompressTestData(const std::string& data, int level = 6);
// Inflates a zlib stream of at most size bytes; "<damaged>" when it is not one.
std::string InflateTestData(const uint8_t* packed, size_t packedSize, size_t size);
// Text-like runs between random bytes: the kind of data whose pieces reach back into each other.
std::string MakeMixedTestData(size_t n);

// Starts a payload behind a stub of stubBytes bytes, or behind a real program.
void BeginTestPayload(TestPayload* p, size_t stubBytes = 64);
void BeginTestPayload(TestPayload* p, const std::vector<uint8_t>& program);
// Starts a payload behind a stub of stubBytes bytes that holds the headers of a PE32 (or, when
// plus, a PE32+) file with an empty certificate-table entry.
void BeginTestPe(TestPayload* p, bool plus, size_t stubBytes = 0x200);
// Sets the certificate-table entry of a stub begun by BeginTestPe.
void SetTestCertEntry(std::vector<uint8_t>* bytes, bool plus, uint32_t offset, uint32_t size);
void AddTestDir(TestPayload* p, const std::string& name);
void AddTestFile(TestPayload* p, const std::string& name, const std::string& data, uint64_t time = 0x01D0000000000000ull,
                 const TestFileFaults& faults = TestFileFaults());
// The SHA-256 of data, fed in pieces of chunk bytes; and bytes as lower-case hex.
std::string HashTestData(const std::string& data, size_t chunk = SIZE_MAX);
std::string HexTestBytes(const std::string& bytes);
// Delta instructions: a copy of len bytes from the old file (last: where the previous copy ended),
// and bytes added (or, with patch, added onto the old file's bytes where the last copy ended).
std::string DeltaCopy(uint64_t last, uint64_t from, uint32_t len);
std::string DeltaAdd(const std::string& bytes, bool patch = false);
// A delta record's data turning old into neu: their common start and end copied, the rest added.
std::string MakeTestDelta(const std::string& old, const std::string& neu);
// A delta record's data naming old and neu around the instruction bytes plain, compressed as given.
std::string FormatTestDelta(const std::string& old, const std::string& neu, const std::string& plain);
// A delta record holding body as its data.
void AddTestDelta(TestPayload* p, const std::string& name, const std::string& body, uint64_t time = 0x01D0000000000000ull);
// Ends the payload: the end marker, two zero bytes and padding to a multiple of 8 (unless
// endMarker is false), then the trailer.
void EndTestPayload(TestPayload* p, bool endMarker = true);

// A temporary stream holding bytes (closed by the caller), positioned at the start.
FILE* OpenTestBytes(const std::vector<uint8_t>& bytes);
// Writes bytes to path; true on success.
bool SaveTestBytes(const std::vector<uint8_t>& bytes, const std::string& path);
