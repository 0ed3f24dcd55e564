#pragma once
// The four blocks of raw lines of install.env, read by a pass of their own: no line limit, "[EOF]"
// is an ordinary line, and a line beginning with "EOF" ends the reading.
#include <cstddef>

#include "config/env_reader.h"

enum SectionId { kDelfiles = 0, kDelfilesUser, kIni, kReg, kSectionCount };

// One line of a section, trailing blanks cut, in file order.
struct SectionLine {
    const char* text;
    const SectionLine* next;
};

// How the section reader takes one line.
enum SectionLineKind {
    kSectionLineSkip = 0,  // empty, "//" or ";"
    kSectionLineStop,      // begins with "EOF": reading ends
    kSectionLineClose,     // begins with "-"
    kSectionLineHeader,    // begins with one of the four headers
    kSectionLineRaw,       // a line of the open section, if any
};

enum SectionsStatus {
    kSectionsOk = 0,
    kSectionsOpen = -1,        // a section was still open at the end
    kSectionsNoMemory = -2,    // AllocChecked has reported it
    kSectionsCannotOpen = -3,  // the loader could not open the file
};

// Cuts every trailing byte of 0x20 or less off the text, in place.
void TrimSectionLine(char* line);
// Classifies a trimmed line; for a header, *section is its SectionId.
int ClassifySectionLine(const char* line, int* section);

// Reads the whole file and fills the lists, telling the reader's watcher what it does with each
// line. Returns a SectionsStatus; on kSectionsOpen, *openSection is the section left open (else -1).
int ParseSections(EnvReader* reader, int* openSection);
// The same walk without storing anything: kSectionsOk or kSectionsOpen.
int CheckSections(EnvReader* reader, int* openSection);

// The message the program shows for a failed status (kSectionsOpen or kSectionsCannotOpen).
void FormatSectionsFailure(int status, const char* path, int section, char* buf, size_t bufSize);

// Releases every list, as at start.
void ResetSections();

// "[delfiles]", "[delfiles_user]", "[ini]" or "[reg]": the line that opens a section.
const char* SectionHeader(int section);
// "delfiles", "delfiles_user", "ini" or "reg": the name the message gives.
const char* SectionName(int section);
// The lines of a section, first to last; null when empty.
const SectionLine* GetSectionList(int section);
inline const SectionLine* DelfilesList() { return GetSectionList(kDelfiles); }
inline const SectionLine* DelfilesUserList() { return GetSectionList(kDelfilesUser); }
inline const SectionLine* IniList() { return GetSectionList(kIni); }
inline const SectionLine* RegList() { return GetSectionList(kReg); }
