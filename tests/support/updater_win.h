#pragma once
// Updaters made in a test from a program of the build and a payload, run and answered the way a
// player meets them. Shared by the tests of start-up and of the update's extraction.
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "support/drive_win.h"
#include "support/payload_writer.h"

const DWORD kUpdaterWaitMs = 30000;
extern const wchar_t kDamagedMessage[];

// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> LoadBytes(const std::wstring& path);

// A payload begun behind a program built beside the test (L"vnupdate.exe", L"extract_probe.exe").
TestPayload OnProgram(const wchar_t* program);

// Ends the payload and writes program + payload as folder + name (folder ends in a backslash).
std::wstring SaveUpdater(const std::wstring& folder, const wchar_t* name, TestPayload* p);

// The system's temporary folder, ending in a backslash.
std::wstring TempFolder();

// The names of the program's work folders in the temporary folder.
std::set<std::wstring> WorkFolders();

// The names directly inside folder.
std::set<std::wstring> FilesIn(const std::wstring& folder);

// Starts exe with args and returns the running process (a failed start is a test failure).
DriveProcess StartUpdater(const std::wstring& exe, const std::wstring& args = L"");

// Starts exe and waits for its menu, the dialog titled title; null, and a failure, when none shows.
HWND StartMenu(const std::wstring& exe, const wchar_t* title, DriveProcess* proc);

// Waits for the end and returns the exit code (0xDEAD, and a failure, when it does not end).
DWORD FinishUpdater(DriveProcess* proc);

// Waits for the program's message box, checks its owner and caption, presses answer, waits for it
// to go and returns its text ("" after a failure when none came).
std::wstring AnswerBox(const DriveProcess& proc, HWND owner, const std::wstring& caption, int answer);
// The one box the program shows before any main window: no owner, an empty caption, OK.
std::wstring AnswerOwnerlessBox(const DriveProcess& proc);

// The .txt type opened by the stand-in menu_opener.exe beside the test, which records the document
// it was handed; the type's own program comes back when this goes.
class StandinTxtOpener {
public:
    StandinTxtOpener();
    ~StandinTxtOpener();
    bool Installed() const { return installed_; }
    // The document the stand-in was asked to open, once it has been ("" when none was in time).
    std::wstring Opened() const;
    // Forgets what was opened so far.
    void Forget() const { DeleteFileW(record_.c_str()); }

private:
    std::wstring record_, oldTxt_;
    bool installed_;
};
