#pragma once
// The end-to-end test's setting: an installed older game registered under HKEY_CURRENT_USER, an
// updater built by `vnpack build` copied into a download folder of its own, the INI file it writes
// and the recorder that stands in for the game and the read-me's viewer.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/drive_win.h"
#include "support/staging_tree_win.h"
#include "support/updater_win.h"

extern const wchar_t kE2eTitle[];
extern const wchar_t kE2eKey[];
const uint64_t kE2eOldTime = 0x01D0000000000000ull;

// The updaters make-updaters built, and their trees.
std::wstring E2eUpdaters();
// The INI file install.env names, in the Windows folder, and a value of its [Setup].
std::wstring E2eIniPath();
std::wstring E2eIniValue(const wchar_t* key);
// A value under the game's key.
void SetE2eText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ);
std::wstring ReadE2eText(const wchar_t* name);

class E2eGame : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void TearDown() override;

    // An installed older game in scratch\name, registered as version 5, and the updater copied
    // into a folder of its own beside a stray game.exe that must never be the one started. A case
    // before that left its updater running would meet it as a second copy.
    void Install(const wchar_t* name, const wchar_t* updater);
    void Register();
    // The older game in folder: game.exe, data\scenario.dat and the player's save.
    void PutOldGame(const std::wstring& folder);
    void StartMenu();
    // Reads the box the program shows now, checks that the menu owns it under the updater's title,
    // and presses answer.
    std::wstring AnswerBox(int answer);
    // Presses Update and answers the first box it brings.
    std::wstring PressUpdate(int answer);
    std::wstring Question() const;
    // The real program with the short updater's setup files and two folders, for a payload written here.
    TestPayload SetupPayload();

    std::wstring scratch, game, record, exe, tree;
    std::set<std::wstring> workFolders;
    DriveProcess proc;
    HWND menu = nullptr;
};
