#include "support/test_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "payload/payload_format.h"
#include "support/payload_writer.h"

TempDir::TempDir() {
    char tmpl[] = "/tmp/vnpack_test_XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (!made) ADD_FAILURE() << "mkdtemp failed";
    path = made ? made : "/nonexistent";
}

TempDir::~TempDir() {
    if (system(("rm -rf '" + path + "'").c_str()) != 0) ADD_FAILURE() << "cannot remove " << path;
}

void WriteFile(const std::string& path, const std::string& data, int64_t seconds, long ns) {
    std::string dir = path.substr(0, path.rfind('/'));
    if (system(("mkdir -p '" + dir + "'").c_str()) != 0) ADD_FAILURE() << "mkdir " << dir;
    if (!SaveTestBytes(std::vector<uint8_t>(data.begin(), data.end()), path)) ADD_FAILURE() << "write " << path;
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), ns}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) ADD_FAILURE() << "utimensat " << path;
}

std::string ReadFile(const std::string& path) {
    std::string data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    fclose(f);
    return data;
}

std::vector<Listed> ReadRecords(const std::string& exe) {
    std::vector<Listed> recs;
    FILE* f = fopen(exe.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << exe;
        return recs;
    }
    PayloadReader reader;
    PayloadRecord rec;
    if (OpenPayloadReader(f, &reader) == 0) {
        while (ReadPayloadRecord(&reader, &rec) == 1 && SkipPayloadRecord(&reader, &rec) == 0) {
            recs.push_back({rec.name, rec.size, rec.time});
        }
    }
    if (reader.error != kPayloadOk) ADD_FAILURE() << exe << ": " << DescribePayloadError(reader.error);
    fclose(f);
    return recs;
}
