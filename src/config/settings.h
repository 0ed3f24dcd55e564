#pragma once
// The key/value lines of install.env: the setting table, lookups, and the named settings.
#include <cstddef>
#include <cstdint>

#include "config/env_reader.h"

// One loaded line. The table is newest first, so the latest line that defines a key is met first.
struct SettingEntry {
    const char* key;
    const char* value;  // "|" already turned into spaces
    const SettingEntry* next;
};

// How the key/value reader takes one piece.
enum SettingLineKind {
    kSettingEnd = 0,   // "[EOF]": reading stops
    kSettingComment,   // begins with "/"
    kSettingIndented,  // begins with a blank (any byte up to 0x20)
    kSettingNoValue,   // a key and nothing after it: dropped
    kSettingFarValue,  // a key whose next word lies past the 99 blanks: dropped
    kSettingEntry,     // key and value found
};

// Why the key/value reading ended before the end of the file.
enum SettingsEnd { kSettingsEndMarker, kSettingsEndLimit };

constexpr int kMaxSettingLines = 400;
constexpr size_t kSettingBytes = 128;
constexpr size_t kUpdaterTitleBytes = 384;

// Splits one piece in place. line is the kEnvLineBytes buffer cleared before the read (zero past
// the piece); blanks in it become zero bytes. key points into line for every kind but kSettingEnd
// and kSettingComment (for kSettingIndented: the first word after the blanks, perhaps empty); value
// only on kSettingEntry, its "|" not yet replaced.
int SplitSettingLine(char* line, const char** key, const char** value);

// Reads up to 400 pieces (or to "[EOF]") and adds their entries to the table, telling the reader's
// watcher what it does with each piece. Returns 0, or -1 when memory for an entry could not be had
// (AllocChecked has reported it; the entries so far stay).
int ParseSettings(EnvReader* reader);

// Releases the table and forgets every cached setting, as at start.
void ResetSettings();

const SettingEntry* FirstSetting();
// The entry of the latest line whose key equals key byte for byte, or null.
const SettingEntry* FindSetting(const char* key);
// Copies the value (or dflt) into buf, cut by bytes at size - 1, zero-filling the rest. Returns buf.
char* GetSetting(const char* key, char* buf, size_t size, const char* dflt);
// The value as a decimal integer, wrapping like 32-bit arithmetic; 0 without leading digits;
// dflt only when the key is absent.
int32_t GetSettingInt(const char* key, int32_t dflt);
// A value beginning with "-" turns its feature off: the read-me button and the completion dialog's
// read-me box (INSTREADME), the registry lines (REG_GLOBAL).
inline bool IsSettingOff(const char* value) { return value[0] == '-'; }
// The number a value gives as GetSettingInt reads it; plain says it was nothing but blanks, a sign
// and one to nine digits, so the number is what it shows.
int32_t ParseSettingInt(const char* value, bool* plain);

// The keys of the named settings.
constexpr const char kRegGlobalKey[] = "REG_GLOBAL";
constexpr const char kRegLocalKey[] = "REG_LOCAL";
constexpr const char kIniFileKey[] = "INI_FILE";
constexpr const char kIniSectionKey[] = "INI_SECTION";
constexpr const char kTitleBarKey[] = "TITLEBAR";
constexpr const char kInstToKey[] = "INSTTO";
constexpr const char kInstFolKey[] = "INSTFOL";
constexpr const char kExeNameKey[] = "EXENAME";
constexpr const char kKeyFileKey[] = "KEYFILE";
constexpr const char kChkRegKey[] = "CHKREG";
constexpr const char kChkRegVerKey[] = "CHKREGVER";

// Named settings. Each returns its own 128-byte buffer, valid for the run. The registry and INI
// names are fixed by their first call, CHKREGVER too unless it read -1; the others read each time.
const char* GetRegGlobal();
const char* GetRegLocal();
const char* GetIniFile();
const char* GetIniSection();
const char* GetTitleBar();
const char* GetInstTo();
const char* GetExeName();
// Null when the key is absent.
const char* GetInstFol();
const char* GetKeyFile();
const char* GetChkReg();
int32_t GetChkRegVer();
// "TITLEBAR アップデータ", formed anew in its own 384-byte buffer.
const char* UpdaterTitle();

// Read with GetSetting at each use: 128 bytes in the menu, 512 after the update.
// A read-me caption beginning with "-" means there is no read-me.
constexpr const char kInstReadmeKey[] = "INSTREADME";
constexpr const char kInstReadmeDefault[] = "-";
constexpr const char kInstReadmeFileKey[] = "INSTREADMEFL";
constexpr const char kInstReadmeFileDefault[] = "readme.txt";
