#pragma once
// Runs services_probe (a program that calls the process services on command) and answers its message
// boxes, for the services tests. Waits fail the test when nothing comes in time.
#include <windows.h>

#include <string>
#include <vector>

#include "support/drive_win.h"

const DWORD kProbeWaitMs = 15000;

std::wstring ProbePath();
// "hex:..." spelling of exact bytes, which the probe decodes whatever the code page does to arguments.
std::wstring Hex(const std::string& bytes);
std::string Repeat(const std::string& s, size_t times);

// Starts the probe with the given arguments, each quoted.
DriveProcess StartProbe(const std::vector<std::wstring>& args);
struct ProbeBox {
    HWND window = nullptr;
    MessageBoxView view;
};
// Waits for the probe's next message box and reads it; window is null when none comes.
ProbeBox NextBox(const DriveProcess& proc);
// Presses the button and waits for the box to go away.
void Answer(const ProbeBox& box, int id);
// The clipboard's CF_TEXT bytes, and its CF_UNICODETEXT in wide; "<no clipboard>" when unreadable.
std::string ClipboardBytes(std::wstring* wide);
// The probe's exit code; ends it and fails the test when it does not end.
DWORD Finish(DriveProcess* proc);

// Writes bytes to a new or emptied file; false when it cannot be written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
