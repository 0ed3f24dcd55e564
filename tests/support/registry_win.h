#pragma once
// The registry as the tests set it up and read it back, and what the stand-in programs recorded
// (tests/support/recorder_win.cpp), for the Wine tests that judge a program by what it leaves.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct RegValue {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};
using RegValues = std::map<std::wstring, RegValue>;

// Every value of root\key by name; empty when the key is missing.
RegValues ReadRegValues(HKEY root, const wchar_t* key);
// Creates root\key as needed and sets the value (name null or "": the default value). False on failure.
bool SetRegValue(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size);
bool SetRegText(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ);
// Opens documents of type ext (L".txt") with program, through the ProgID progId. False on failure.
bool AssociateType(const wchar_t* ext, const wchar_t* progId, const std::wstring& program);
void DeleteRegValue(HKEY root, const wchar_t* key, const wchar_t* name);
// A REG_SZ value, or "(none)".
std::wstring ReadRegText(HKEY root, const wchar_t* key, const wchar_t* name);

// One start of a stand-in program: its creation time (100 ns units), module, current folder and
// command line.
struct Started {
    uint64_t created;
    std::wstring module, folder, commandLine;
};
std::vector<Started> ReadStarted(const std::wstring& record);

// True once no process named one of names and started by pid is left (polled against timeoutMs).
bool ChildrenGone(DWORD pid, const std::vector<std::wstring>& names, DWORD timeoutMs);
