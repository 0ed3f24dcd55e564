#pragma once
// A fake registry and file system behind the installation lookup, for its unit tests.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/settings.h"
#include "update/install_lookup.h"

// A registry of the current user, as the lookup queries it: keys that exist (some refusing full
// access), their values, and every query in order.
struct FakeValue {
    uint32_t type;
    std::string data;  // stored bytes, terminator included when the writer put one
};
inline std::set<std::string> s_keys;
inline std::set<std::string> s_lockedKeys;
inline std::map<std::string, FakeValue> s_values;  // "keyPath|name"
inline std::set<std::string> s_files;
inline std::vector<std::string> s_log;

inline int FakeQuery(const char* keyPath, const char* valueName, uint32_t* type, char* data, uint32_t* dataLen) {
    s_log.push_back(std::string(keyPath) + "|" + valueName);
    if (!s_keys.count(keyPath) || s_lockedKeys.count(keyPath)) return -1;
    auto it = s_values.find(std::string(keyPath) + "|" + valueName);
    if (it == s_values.end() || it->second.data.size() > *dataLen) return -1;
    memcpy(data, it->second.data.data(), it->second.data.size());
    *type = it->second.type;
    *dataLen = static_cast<uint32_t>(it->second.data.size());
    return 0;
}

inline bool FakeFileExists(const char* path) {
    s_log.push_back(std::string("file:") + path);
    return s_files.count(path) != 0;
}

inline const LookupSource kFakeSource = {FakeQuery, FakeFileExists};

inline FakeValue Sz(const std::string& text) { return {kRegTypeSz, text + std::string(1, '\0')}; }

// The game's key, present and empty, with nothing asked yet.
inline const char kFakeGameKey[] = "Software\\Soft\\Game";
inline void ResetRegistry() {
    s_keys = {kFakeGameKey};
    s_lockedKeys.clear();
    s_values.clear();
    s_files.clear();
    s_log.clear();
}

// Stores values ("name=text;...") as strings under the game's key.
inline void SetGameValues(const std::string& values) {
    std::istringstream in(values);
    for (std::string v; std::getline(in, v, ';');) {
        s_values[std::string(kFakeGameKey) + "|" + v.substr(0, v.find('='))] = Sz(v.substr(v.find('=') + 1));
    }
}

// What was asked, in order, separated by spaces: the game's values by name, a file check as "file".
inline std::string AskedOfFake() {
    std::string log;
    for (std::string e : s_log) {
        if (e.rfind("file:", 0) == 0) e = "file";
        if (e.rfind(kFakeGameKey, 0) == 0) e = e.substr(sizeof kFakeGameKey);
        log += (log.empty() ? "" : " ") + e;
    }
    return log;
}

// Loads the settings from install.env text, as the program does at start.
inline void LoadSettingsText(const std::string& text) {
    ResetSettings();
    EnvReader reader;
    OpenEnvBytes(&reader, text.data(), text.size());
    ASSERT_EQ(ParseSettings(&reader), 0);
}
