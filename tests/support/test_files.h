#pragma once
// Native file helpers for tests that run vnpack's verbs on real folders.
#include <cstdint>
#include <string>
#include <vector>

// A fresh folder under /tmp, removed with everything in it when the object goes.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
};

// Writes data to path (making its folders) and sets its last-write time; a failure fails the test.
void WriteFile(const std::string& path, const std::string& data, int64_t seconds = 1600000000, long ns = 0);
// The file's bytes, or "<missing>".
std::string ReadFile(const std::string& path);

struct Listed {
    std::string name;
    uint32_t size;
    uint64_t time;
};
// Every record of an updater file, read through the payload reader; a damaged one fails the test.
std::vector<Listed> ReadRecords(const std::string& exe);
