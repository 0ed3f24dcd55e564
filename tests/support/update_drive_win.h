#pragma once
// Runs update_probe (a program that calls the installation lookup and the transfers on command) and
// sets up and reads back the registry as the game would, for the update tests under Wine.
#include <windows.h>

#include <string>
#include <vector>

#include "support/services_drive_win.h"

// Starts the probe in folder with the given arguments, each quoted.
DriveProcess StartUpdateProbe(const std::vector<std::wstring>& args, const std::wstring& folder);

// Stores bytes as they are (CP932 text with or without its terminator) under HKEY_CURRENT_USER\key.
void SetValue(const std::string& key, const std::string& name, DWORD type, const std::string& bytes);
// A REG_SZ value with its terminator.
void SetSz(const std::string& key, const std::string& name, const std::string& text);
bool KeyExists(const std::string& key);

std::string ToHex(const std::string& bytes);
