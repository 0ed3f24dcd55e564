#pragma once
// The tool's only calls into the host system: files and folders, the terminal, the processors and
// where the tool itself lives. Paths are UTF-8 on every host (the Windows entry point converts its
// wide arguments), so the verbs and their messages are the same everywhere. A failure returns -1
// and leaves the reason in errno, for strerror.
#include <cstddef>
#include <cstdint>
#include <cstdio>

const size_t kHostPathBytes = 4096;

struct HostFileInfo {
    bool isDir;
    bool isFile;  // a regular file
    bool isLink;  // a symbolic link (on Windows any name surrogate: a link or a junction)
    uint64_t size;
    uint64_t time;  // last write, FILETIME (100 ns since 1601), as fine as the file system keeps it
};

// With follow false a link is described as itself (only isLink is set); with follow true, what it
// leads to is.
int GetHostFileInfo(const char* path, bool follow, HostFileInfo* info);

// The full path with every link resolved, in one spelling for one file, so that two of them compare
// as strings and a folder's path is a prefix of what lies inside it.
int GetHostRealPath(const char* path, char* dst, size_t dstSize);

// Calls fn with each name in the folder but "." and ".."; stops at the first nonzero answer and
// returns it. Returns -1 when the folder cannot be read.
typedef int (*HostNameFn)(void* ctx, const char* name);
int ListHostFolder(const char* path, HostNameFn fn, void* ctx);

FILE* OpenHostFile(const char* path, const char* mode);
// Moves to offset from the start, past 2 GiB too.
int SeekHostFile(FILE* f, uint64_t offset);
int RemoveHostFile(const char* path);
// A new file beside path (path.vnsign-XXXXXX, its name left in tmp), open for "w+b".
FILE* CreateHostFileBeside(const char* path, char* tmp, size_t tmpSize);
// A new empty file in the user's temporary folder that only this user can read, open for "w+b";
// the caller removes it.
FILE* CreateHostTempFile(char* path, size_t pathSize);
// Moves from onto to, replacing it; to's permissions stay.
int ReplaceHostFile(const char* from, const char* to);
// Succeeds also when the folder is already there.
int CreateHostFolder(const char* path);
// Sets the last-write time only.
int SetHostFileTime(const char* path, uint64_t fileTime);

// The separator the tool puts between a folder and a name in the paths it makes.
char GetHostPathSep();

// True when the stream goes to a terminal (a console on Windows), where progress is shown.
bool IsHostTerminal(FILE* stream);

int GetHostProcessorCount();

// Runs the program argv[0] (a bare name, found on PATH; on Windows NAME.exe, beside the tool first)
// and waits for it. Its output goes to out, or nowhere when out is null; its errors go to out too
// when quiet, else to the tool's stderr. Returns its exit status, kHostProgramMissing when it
// cannot be started, or -1.
const int kHostProgramMissing = 127;
int RunHostProgram(const char* const* argv, FILE* out, bool quiet);

// The folder holding the running tool. Returns 0, or -1 when it is unknown or does not fit.
int GetHostProgramDir(char* dst, size_t dstSize);

// One CP932 character (len 1 or 2 bytes) as UTF-8, with the table of Windows' code page 932.
// Returns the UTF-8 length, or 0 when it is not CP932. (ConvertUtf8ToCp932 of cp932_text.h is
// the host's too.)
size_t ConvertCp932Char(const char* cp932, size_t len, char* utf8, size_t utf8Size);
