#pragma once
// Runs the payload walk over bytes in memory and records what it would have written, for the tests
// of the reader (natively and under Wine).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "payload/extract.h"
#include "support/payload_writer.h"

struct PayloadCapture {
    std::vector<std::string> dirs;   // joined paths of the folders made, in order
    std::vector<std::string> files;  // joined paths of the files opened, in order
    std::vector<std::string> names;  // the record names of those files
    std::vector<uint64_t> times;     // and their last-write times
    std::string data;                // every byte the sink received
    std::vector<uint32_t> written;   // fileWritten of each sink call
    std::vector<uint32_t> consumed;  // payloadConsumed of each sink call
    uint32_t total = 0;              // the reader's payload length
    int failAt = -1;                 // the sink call that fails, or -1
    int calls = 0;
    int closedBad = 0;                       // files closed as failed
    std::map<std::string, std::string> old;  // installed files by joined path, for deltas
    const std::string* open = nullptr;       // the installed file being read
    int oldReads = 0;
};

// Opens bytes as a payload and walks it into dest. Returns the walk's status; a payload the reader
// cannot open gives -1 with result->error set.
int WalkTestPayload(const std::vector<uint8_t>& bytes, int mode, PayloadCapture* cap, ExtractResult* result,
                    const char* dest = "C:\\G");

// The structure check alone (as `vnpack test` runs it: no sink, no installed files): 0 or -1.
int CheckTestPayload(const std::vector<uint8_t>& bytes);

// A walk's status with what it recorded and its result.
struct TestWalk {
    PayloadCapture cap;
    ExtractResult result;
    int rc;
};
inline TestWalk WalkTest(const std::vector<uint8_t>& bytes, int mode, const char* dest = "C:\\G") {
    TestWalk w{};
    w.rc = WalkTestPayload(bytes, mode, &w.cap, &w.result, dest);
    return w;
}

// A whole payload of one record: a file holding data (with faults), or a folder when dir.
std::vector<uint8_t> MakeOnePayload(const std::string& name, const std::string& data,
                                    const TestFileFaults& faults = TestFileFaults(), bool dir = false);

// A whole payload of the given records: a name ending in a backslash is a folder, any other a file
// holding its own name; lastFaults damages the last record.
std::vector<uint8_t> MakeNamedPayload(const std::vector<std::string>& names,
                                      const TestFileFaults& lastFaults = TestFileFaults());
// Walks a payload for "a.dat" of the delta records bodies (and a whole record when whole is set),
// between the files "0.dat" ("first") and "b.dat" ("next"), over an installation holding installed
// as C:\G\a.dat (none when null).
TestWalk WalkTestDeltas(const std::vector<std::string>& bodies, const std::string* installed,
                        const std::string* whole = nullptr);
// A whole payload of one delta record holding body.
std::vector<uint8_t> MakeDeltaPayload(const std::string& name, const std::string& body);
