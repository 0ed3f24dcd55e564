#pragma once
// The [ini] and [reg] lines of install.env turned into what is written: an INI key and value, or a
// registry value name and text, with the placeholders for the install folder and the CD-ROM drive
// filled in. Every search walks CP932 characters, so the 0x5C second byte of a character such as
// ソ is never taken for a backslash.
#include <cstddef>

#include "common/str_util.h"

constexpr size_t kTransferTextBytes = 512;  // working texts, keys, names and values

// Fills root with the root of the first CD-ROM drive, such as "Q:\".
typedef void (*CdromRootFn)(char* root, size_t rootSize);

// What the placeholders stand for. The drive root is asked for only when a line holds its
// placeholder, so the drives are asked anew for each such line.
struct PlaceholderValues {
    const char* installPath;
    CdromRootFn findCdromRoot;
};

// Why a line is not written.
enum TransferLineStatus {
    kLineWritten = 0,
    kLineNoSeparator = -1,  // [ini]: no "="; [reg]: no "\"=\""
    kLineTooLong = -2,      // a replaced placeholder made it longer than 511 bytes
    kLineNoName = -3,       // [reg]: the separator starts the line, so no name can end at it
    kLineNoValue = -4,      // [reg]: nothing after the separator, so no closing quote to drop
};

// The first drive (A to Z) for which isCdrom(root) holds, as "X:\", else "E:\".
void FindCdromRoot(bool (*isCdrom)(const char* root), char* root, size_t rootSize);

// Replaces the first "REP_CDROMDRIVE", then the first "REP_INSTALL", of text into out. Returns 0, or
// kLineTooLong when the result would not fit in outSize bytes (out then holds no line).
int ExpandIniPlaceholders(const char* text, const PlaceholderValues* values, char* out, size_t outSize);
// The same with "REP_CDROM" for the drive, as the [reg] lines spell it.
int ExpandRegPlaceholders(const char* text, const PlaceholderValues* values, char* out, size_t outSize);

// Removes every backslash that starts a character and keeps the character after it as it is:
// "\\" gives "\", "\"" gives "\"", a final lone backslash goes. out never grows past text.
void UnescapeRegText(const char* text, char* out, size_t outSize);

// "KEY=VALUE", expanded before it is split at its first "=": key and value as they stand, untrimmed.
// Returns kLineWritten with key and value filled (each kTransferTextBytes), or why the line is skipped.
int SplitIniLine(const char* line, const PlaceholderValues* values, char* key, size_t keySize, char* value,
                 size_t valueSize);

// "\"NAME\"=\"VALUE\"" as a registry export writes it: unescaped, then expanded, then split at the
// first "\"=\""; the first character and the last are dropped. Returns kLineWritten with name and
// value filled, or why the line is skipped.
int SplitRegLine(const char* line, const PlaceholderValues* values, char* name, size_t nameSize, char* value,
                 size_t valueSize);
