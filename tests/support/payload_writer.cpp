#include "support/payload_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "common/le_bytes.h"
#include "common/sha256.h"
#include "payload/delta.h"
#include "payload/payload_format.h"

std::string MakeTestPattern(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(i % 4 == 0 ? (seed >> 16) : 'a' + i % 5);
    }
    return s;
}

std::string CompressTestData(const std::string& data, int level) {
    uLongf len = compressBound(static_cast<uLong>(data.size()));
    std::string out(len, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &len, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), level);
    out.resize(len);
    return out;
}

std::string InflateTestData(const uint8_t* packed, size_t packedSize, size_t size) {
    std::string out(size + 1, '\0');
    uLongf n = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(&out[0]), &n, packed, packedSize) != Z_OK) return "<damaged>";
    out.resize(n);
    return out;
}

std::string MakeMixedTestData(size_t n) {
    std::string random = MakeTestPattern(n, 7);
    std::string out;
    for (size_t i = 0; out.size() < n; ++i)
        out += i % 3 ? std::string("scene choice ") + char('a' + i % 26) : random.substr(out.size(), 700);
    out.resize(n);
    return out;
}

void BeginTestPayload(TestPayload* p, size_t stubBytes) {
    p->bytes.assign(stubBytes, 0);
    if (stubBytes >= 2) {
        p->bytes[0] = 'M';
        p->bytes[1] = 'Z';
    }
    p->start = static_cast<uint32_t>(stubBytes);
}

void BeginTestPayload(TestPayload* p, const std::vector<uint8_t>& program) {
    p->bytes = program;
    p->start = static_cast<uint32_t>(program.size());
}

// The headers as a linker writes them, at 0x40: "PE\0\0", the file header, the optional header with
// 16 data directories.
static const size_t kTestPeAt = 0x40;
static size_t TestCertEntryAt(bool plus) { return kTestPeAt + 24 + (plus ? 112 : 96) + 4 * 8; }

void BeginTestPe(TestPayload* p, bool plus, size_t stubBytes) {
    BeginTestPayload(p, stubBytes);
    uint8_t* b = p->bytes.data();
    PutLe32(b + 0x3C, kTestPeAt);
    memcpy(b + kTestPeAt, "PE\0\0", 4);
    PutLe16(b + kTestPeAt + 20, plus ? 240 : 224);
    PutLe16(b + kTestPeAt + 24, plus ? 0x20B : 0x10B);
    PutLe32(b + kTestPeAt + 24 + (plus ? 108 : 92), 16);
}

void SetTestCertEntry(std::vector<uint8_t>* bytes, bool plus, uint32_t offset, uint32_t size) {
    PutLe32(bytes->data() + TestCertEntryAt(plus), offset);
    PutLe32(bytes->data() + TestCertEntryAt(plus) + 4, size);
}

static void AppendHeader(TestPayload* p, const std::string& name, uint32_t size, uint32_t packed, uint64_t time) {
    // The name goes by its length: damaged payloads may hold a NUL inside it.
    std::vector<uint8_t> header(name.size() + 32);
    size_t n = FormatPayloadRecord(name.data(), name.size(), size, packed, time, header.data(), header.size());
    p->bytes.insert(p->bytes.end(), header.begin(), header.begin() + static_cast<long>(n));
}

void AddTestDir(TestPayload* p, const std::string& name) { AppendHeader(p, name, kPayloadDirMark, 0, 0); }

void AddTestFile(TestPayload* p, const std::string& name, const std::string& data, uint64_t time,
                 const TestFileFaults& faults) {
    std::string stream = faults.stream ? *faults.stream : CompressTestData(data);
    if (faults.badAdler && !stream.empty()) stream.back() = static_cast<char>(stream.back() ^ 1);
    stream.resize(stream.size() - (faults.cutStream < stream.size() ? faults.cutStream : stream.size()));
    stream += faults.extra;
    int64_t size = faults.size >= 0 ? faults.size : static_cast<int64_t>(data.size()) + faults.sizeDelta;
    int64_t packed = static_cast<int64_t>(stream.size()) + faults.packedDelta;
    AppendHeader(p, name, static_cast<uint32_t>(size), static_cast<uint32_t>(packed), time);
    p->bytes.insert(p->bytes.end(), stream.begin(), stream.end());
}

std::string HashTestData(const std::string& data, size_t chunk) {
    Sha256 sha;
    uint8_t out[kSha256Bytes];
    InitSha256(&sha);
    for (size_t i = 0; i < data.size(); i += chunk) UpdateSha256(&sha, data.data() + i, std::min(chunk, data.size() - i));
    FinishSha256(&sha, out);
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

std::string HexTestBytes(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) hex += {kDigits[b >> 4], kDigits[b & 15]};
    return hex;
}

std::string DeltaCopy(uint64_t last, uint64_t from, uint32_t len) {
    uint8_t op[kDeltaOpMaxBytes];
    return std::string(reinterpret_cast<char*>(op), FormatDeltaCopy(last, from, len, op));
}

std::string DeltaAdd(const std::string& bytes, bool patch) {
    uint8_t op[kDeltaOpMaxBytes];
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    return std::string(reinterpret_cast<char*>(op), patch ? FormatDeltaPatch(n, op) : FormatDeltaAdd(n, op)) + bytes;
}

std::string MakeTestDelta(const std::string& old, const std::string& neu) {
    size_t head = 0, tail = 0;
    while (head < old.size() && head < neu.size() && old[head] == neu[head]) ++head;
    while (tail < old.size() - head && tail < neu.size() - head && old[old.size() - 1 - tail] == neu[neu.size() - 1 - tail])
        ++tail;
    std::string plain;
    if (head) plain += DeltaCopy(0, 0, static_cast<uint32_t>(head));
    if (neu.size() > head + tail) plain += DeltaAdd(neu.substr(head, neu.size() - head - tail));
    if (tail) plain += DeltaCopy(head, old.size() - tail, static_cast<uint32_t>(tail));
    plain += static_cast<char>(kDeltaEnd);
    return FormatTestDelta(old, neu, plain);
}

std::string FormatTestDelta(const std::string& old, const std::string& neu, const std::string& plain) {
    DeltaHeader h;
    h.oldSize = static_cast<uint32_t>(old.size());
    h.newSize = static_cast<uint32_t>(neu.size());
    memcpy(h.oldHash, HashTestData(old).data(), kSha256Bytes);
    memcpy(h.newHash, HashTestData(neu).data(), kSha256Bytes);
    uint8_t header[kDeltaHeaderBytes];
    FormatDeltaHeader(&h, header);
    return std::string(reinterpret_cast<char*>(header), sizeof header) + CompressTestData(plain);
}

void AddTestDelta(TestPayload* p, const std::string& name, const std::string& body, uint64_t time) {
    AppendHeader(p, name, kPayloadDeltaMark, static_cast<uint32_t>(body.size()), time);
    p->bytes.insert(p->bytes.end(), body.begin(), body.end());
}

void EndTestPayload(TestPayload* p, bool endMarker) {
    // Without an end marker there is no padding either: zero bytes would read as one.
    if (endMarker) {
        p->bytes.insert(p->bytes.end(), kPayloadEndBytes, 0);
        p->bytes.insert(p->bytes.end(), GetPayloadPadding(p->bytes.size()), 0);
    }
    uint8_t trailer[4];
    PutLe32(trailer, p->start);
    p->bytes.insert(p->bytes.end(), trailer, trailer + 4);
}

FILE* OpenTestBytes(const std::vector<uint8_t>& bytes) {
    FILE* f = tmpfile();
    if (!f) return nullptr;
    if (!bytes.empty() && fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        fclose(f);
        return nullptr;
    }
    rewind(f);
    return f;
}

bool SaveTestBytes(const std::vector<uint8_t>& bytes, const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}
