#include <windows.h>

#include <gtest/gtest.h>

// The program's texts only reach the player intact if the test environment really is a Japanese
// system and the compiler really stores literals as CP932.
TEST(WineEnvironment, AnsiCodePageIsJapanese) { EXPECT_EQ(GetACP(), 932u); }

TEST(WineEnvironment, LiteralsAreCp932) {
    const unsigned char so[] = "ソ";
    ASSERT_EQ(sizeof so, 3u);
    EXPECT_EQ(so[0], 0x83);
    EXPECT_EQ(so[1], 0x5C);
}

TEST(WineEnvironment, SystemConvertsCp932LikeTheCompiler) {
    // What the compiler stored and what Windows decodes must agree, or every message is mojibake.
    wchar_t wide[8] = {};
    int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "アップデータ", -1, wide, 8);
    ASSERT_EQ(n, 7);
    EXPECT_EQ(std::wstring(wide), L"アップデータ");
}
