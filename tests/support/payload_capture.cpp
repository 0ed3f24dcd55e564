#include "support/payload_capture.h"

#include <gtest/gtest.h>

#include <cstring>


static int CaptureDir(void* ctx, const char* path, const PayloadRecord*) {
    static_cast<PayloadCapture*>(ctx)->dirs.push_back(path);
    return 0;
}

static int CaptureOpen(void* ctx, const char* path, const PayloadRecord* rec) {
    PayloadCapture* c = static_cast<PayloadCapture*>(ctx);
    c->files.push_back(path);
    c->names.push_back(rec->name);
    c->times.push_back(rec->time);
    return 0;
}

static int CaptureWrite(void* ctx, const uint8_t* bytes, size_t n, uint32_t fileWritten, uint32_t consumed) {
    PayloadCapture* c = static_cast<PayloadCapture*>(ctx);
    if (c->calls++ == c->failAt) return -1;
    c->data.append(reinterpret_cast<const char*>(bytes), n);
    c->written.push_back(fileWritten);
    c->consumed.push_back(consumed);
    return 0;
}

static int CaptureClose(void* ctx, const char*, const PayloadRecord*, bool ok) {
    if (!ok) static_cast<PayloadCapture*>(ctx)->closedBad++;
    return 0;
}

static int CaptureOpenOld(void* ctx, const char* path, const PayloadRecord*, uint64_t* size) {
    PayloadCapture* c = static_cast<PayloadCapture*>(ctx);
    auto it = c->old.find(path);
    if (it == c->old.end()) return -1;
    c->open = &it->second;
    *size = it->second.size();
    return 0;
}

static int CaptureReadOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    PayloadCapture* c = static_cast<PayloadCapture*>(ctx);
    c->oldReads++;
    if (!c->open || offset > c->open->size() || n > c->open->size() - offset) return -1;
    memcpy(dst, c->open->data() + offset, n);
    return 0;
}

static void CaptureCloseOld(void* ctx) { static_cast<PayloadCapture*>(ctx)->open = nullptr; }

int WalkTestPayload(const std::vector<uint8_t>& bytes, int mode, PayloadCapture* cap, ExtractResult* result,
                    const char* dest) {
    static const ExtractOps kOps = {CaptureDir,     CaptureOpen,    CaptureWrite,    CaptureClose,
                                    CaptureOpenOld, CaptureReadOld, CaptureCloseOld, nullptr};
    FILE* f = OpenTestBytes(bytes);
    EXPECT_NE(f, nullptr);
    if (!f) return -1;
    PayloadReader reader;
    int rc = OpenPayloadReader(f, &reader);
    cap->total = reader.total;
    if (rc == 0) {
        rc = RunPayloadExtraction(&reader, dest, mode, &kOps, cap, result);
    } else {
        memset(result, 0, sizeof *result);
        result->error = reader.error;
    }
    fclose(f);
    return rc;
}

int CheckTestPayload(const std::vector<uint8_t>& bytes) {
    static const ExtractOps kCheck = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    FILE* f = OpenTestBytes(bytes);
    if (!f) return -1;
    PayloadReader reader;
    ExtractResult result;
    int rc = OpenPayloadReader(f, &reader);
    if (rc == 0) rc = RunPayloadExtraction(&reader, "C:\\G", kExtractAll, &kCheck, nullptr, &result);
    fclose(f);
    return rc;
}

std::vector<uint8_t> MakeNamedPayload(const std::vector<std::string>& names, const TestFileFaults& lastFaults) {
    TestPayload p;
    BeginTestPayload(&p);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (!name.empty() && name.back() == '\\') {
            AddTestDir(&p, name);
        } else {
            AddTestFile(&p, name, name, 0x01D0000000000000ull, i + 1 == names.size() ? lastFaults : TestFileFaults());
        }
    }
    EndTestPayload(&p);
    return p.bytes;
}

std::vector<uint8_t> MakeOnePayload(const std::string& name, const std::string& data, const TestFileFaults& faults,
                                    bool dir) {
    TestPayload p;
    BeginTestPayload(&p);
    if (dir) {
        AddTestDir(&p, name);
    } else {
        AddTestFile(&p, name, data, 0x01D0000000000000ull, faults);
    }
    EndTestPayload(&p);
    return p.bytes;
}

std::vector<uint8_t> MakeDeltaPayload(const std::string& name, const std::string& body) {
    TestPayload p;
    BeginTestPayload(&p);
    AddTestDelta(&p, name, body);
    EndTestPayload(&p);
    return p.bytes;
}

TestWalk WalkTestDeltas(const std::vector<std::string>& bodies, const std::string* installed, const std::string* whole) {
    TestPayload p;
    BeginTestPayload(&p);
    AddTestFile(&p, "0.dat", "first");
    for (const std::string& b : bodies) AddTestDelta(&p, "a.dat", b);
    if (whole) AddTestFile(&p, "a.dat", *whole);
    AddTestFile(&p, "b.dat", "next");
    EndTestPayload(&p);
    TestWalk w{};
    if (installed) w.cap.old["C:\\G\\a.dat"] = *installed;
    w.rc = WalkTestPayload(p.bytes, kExtractAll, &w.cap, &w.result);
    return w;
}
