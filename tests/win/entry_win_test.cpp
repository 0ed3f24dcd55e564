#include <gtest/gtest.h>

#include "support/drive_win.h"
#include "support/services_drive_win.h"

// The shipped program starts on its own entry point, without MinGW's start-up code: WinMain must
// still get its arguments, and exit() must run the atexit list and flush the streams.
TEST(ProgramEntry, PassesArgumentsAndRunsTheExitList) {
    const std::wstring folder = MakeScratchFolder(L"入口");
    struct Case {
        const wchar_t* args;
        const char* expected;
    } cases[] = {{L"", "[] 10"}, {L"  \"a b\"\tc", "[\"a b\"\tc] 10"}};
    for (const Case& c : cases) {
        DriveProcess proc;
        ASSERT_TRUE(StartProgram(L"\"" + ModuleFolder() + L"lean probe.exe\"" + c.args, &proc, folder.c_str()));
        EXPECT_EQ(FinishProgram(&proc, 30000), 7u);
        EXPECT_EQ(ReadFileBytes(folder + L"\\lean_probe.txt"), c.expected);
    }
    RemoveTree(folder);
}
