#pragma once
// vnpack env: what the updater's own readers make of an install.env, heard through their watcher,
// and the two reports of it (text for a person, JSON for scripts).
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "config/env_reader.h"
#include "config/settings.h"

constexpr int kMaxEnvWarnings = 200;
constexpr size_t kEnvShownBytes = 4 * kEnvLineBytes + 16;  // room for every byte of a line as \xNN

// One entry of the setting table, in file order.
struct EnvTableRow {
    int line;
    int section;  // the section this line is stored in by the section reader, or -1
    char key[kEnvLineBytes];
    char value[kEnvLineBytes];
};

struct EnvWarning {
    int line;        // 0: the file as a whole
    uint64_t order;  // where the warning arose, for keeping the first ones when there are too many
    char text[kEnvShownBytes + 256];
};

struct EnvAnalysis {
    EnvTableRow rows[kMaxSettingLines];
    int rowCount;
    EnvWarning warnings[kMaxEnvWarnings];  // by line once the analysis is done, the file's last
    int warningCount;
    int warningsDropped;
    int openSection;         // left open at the end, or -1
    const char* installDir;  // CP932: the game's folder the [ini]/[reg] preview assumes
};

// Loads data into the setting table and the section lists with the program's readers (they stay
// loaded for the reports; ResetSettings and ResetSections release them) and fills an, judging the
// [ini]/[reg] lines with the game in installDir (kept, not copied). Returns 0, or -1 when memory ran
// out (AllocChecked has reported it).
int AnalyseEnv(const unsigned char* data, size_t size, const char* installDir, EnvAnalysis* an);

// The settings the program reads, in the order the reports list them.
struct EnvNamedSetting {
    const char* key;
    const char* role;
};
extern const EnvNamedSetting kEnvNamedSettings[];
extern const int kEnvNamedCount;

// A named setting as the updater will use it.
struct EnvNamedValue {
    const char* text;  // null: none, or CHKREGVER, an integer
    bool isInteger;
    int32_t integer;
    bool isDefault;
    int line;  // the latest line that sets it, 0 when none
    bool cut;  // longer than the buffer the program reads it into
};
EnvNamedValue GetEnvNamedValue(const EnvAnalysis* an, int index);

// The latest line whose entry has key, or 0.
int GetLatestEnvLine(const EnvAnalysis* an, const char* key);

// CP932 as UTF-8 for the terminal, odd bytes as \xNN. The result lives until the fourth call after.
char* ShowEnvText(const char* cp932);
// The same for quoting a line in a warning: its first 60 bytes, cut at a character boundary.
const char* ShowEnvLine(const char* cp932);
// CP932 as a JSON string, bytes that are not CP932 as U+FFFD.
void PrintEnvJsonText(FILE* out, const char* cp932);

// The reports; the text and JSON forms hold the same parts in the same order.
void PrintEnvText(FILE* out, const char* path, const EnvAnalysis* an);
// stopReason: why the updater would stop at start, or null.
void PrintEnvJson(FILE* out, const char* path, const EnvAnalysis* an, const char* stopReason);
