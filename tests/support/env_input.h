#pragma once
// Scaffolding for the install.env tests: the same bytes from memory or from a file, the lists and
// pieces the readers produce as plain strings, and `vnpack env` run in-process on a written file.
#include <cstdio>
#include <string>
#include <vector>

#include "config/env_reader.h"
#include "support/verb_run.h"

// A reader over bytes held in memory, or over a temporary file holding them.
struct EnvInput {
    std::string bytes;
    FILE* file = nullptr;
    EnvReader reader;
    EnvInput(bool fromFile, std::string b);
    ~EnvInput();
};

// line repeated n times.
inline std::string RepeatText(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
}

// Every piece the reader gives; *terminated is false when a piece was not followed by a zero.
std::vector<std::string> ReadPieces(EnvReader* reader, bool* terminated);

// The four section lists as "name{line|line}" for each list that has lines, in list order.
std::string DumpSectionLists();

// Writes bytes to a temporary file and runs the verb on it, with extra after the file's path.
VerbRun RunEnvVerbOn(int (*verb)(int, char**), const std::string& bytes, const std::vector<std::string>& extra = {});
