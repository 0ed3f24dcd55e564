#include <windows.h>

#include <gtest/gtest.h>

// The program's texts only reach the player intact if the test environment really is a Japanese
// system, the compiler really stores literals as CP932 and Windows decodes them the same way.
TEST(WineEnvironment, IsJapaneseAndAgreesWithTheCompiler) {
    EXPECT_EQ(GetACP(), 932u);
    const unsigned char so[] = "ソ";
    ASSERT_EQ(sizeof so, 3u);
    EXPECT_TRUE(so[0] == 0x83 && so[1] == 0x5C);
    wchar_t wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "アップデータ", -1, wide, 8), 7);
    EXPECT_EQ(std::wstring(wide), L"アップデータ");
}
