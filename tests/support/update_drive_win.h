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
// A REG_SZ value read back with its terminator dropped; "<no key>", "<missing>", "<type N>" or
// "<unterminated>" otherwise.
std::string GetSz(const std::string& key, const std::string& name);
// The number of values of the key (its default value included), or 0xFFFF without the key.
DWORD ValueCount(const std::string& key);
bool KeyExists(const std::string& key);

std::string ToHex(const std::string& bytes);
// A folder path as install.env writes it: CP932, "|" for each space.
std::string EnvPath(const std::wstring& path);
