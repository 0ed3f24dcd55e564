#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/sjis.h"
#include "common/str_util.h"

namespace {

// ソ is 83 5C and ポ is 83 7C: their second bytes are '\' and '|'.
const char kSo[] = "ソ";
const char kPo[] = "ポ";

TEST(Sjis, LiteralsAreStoredAsCp932) {
    ASSERT_STREQ(kSo, "\x83\x5C");
    ASSERT_STREQ(kPo, "\x83\x7C");
    ASSERT_STREQ("漢", "\x8A\xBF");
}

TEST(Sjis, LeadByteRangesAreFixed) {
    for (int c = 0; c < 256; ++c) {
        bool expected = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        EXPECT_EQ(IsSjisLead(static_cast<unsigned char>(c)), expected) << "byte " << c;
    }
}

TEST(Sjis, NextStepsOverPairsButNeverPastTheEnd) {
    const char text[] = "a\x83\x5C\xE0";  // 'a', ソ, then a lone lead byte before the terminator
    const char* p = SjisNext(text);
    EXPECT_EQ(p, text + 1);
    p = SjisNext(p);
    EXPECT_EQ(p, text + 3);
    p = SjisNext(p);
    EXPECT_EQ(p, text + 4);
    EXPECT_EQ(SjisNext(p), p);
}

TEST(Sjis, FindCharSkipsSecondBytes) {
    struct Case {
        const char* text;
        char c;
        int first;  // offset or -1
        int last;
    } cases[] = {
        {"ソ", '\\', -1, -1},
        {"ソ\\", '\\', 2, 2},
        {"a\\ソ\\b", '\\', 1, 4},
        {"ポ|ポ", '|', 2, 2},
        {"\xE0\x5C\xFC\x7C", '\\', -1, -1},  // 0xE0-0xFC lead bytes
        {"\xFC\x7C|", '|', 2, 2},
        {"\xFD\x5C", '\\', 1, 1},  // 0xFD is not a lead byte
        {"ab\x83", '\\', -1, -1},
        {"", 'a', -1, -1},
    };
    for (const Case& c : cases) {
        const char* first = SjisFindChar(c.text, c.c);
        const char* last = SjisFindLastChar(c.text, c.c);
        EXPECT_EQ(first ? first - c.text : -1, c.first) << c.text;
        EXPECT_EQ(last ? last - c.text : -1, c.last) << c.text;
    }
}

TEST(Sjis, FindLastSepTakesBothSeparators) {
    const char path[] = "C:\\ゲーム/ソ";
    const char* sep = SjisFindLastSep(path);
    ASSERT_NE(sep, nullptr);
    EXPECT_EQ(*sep, '/');
    EXPECT_EQ(SjisFindLastSep("表ソ"), nullptr);  // 95 5C 83 5C: two trail backslashes
}

TEST(Sjis, FindStrNeverStartsOnASecondByte) {
    // 83 5C 5C 41: the needle "\A" exists from offset 1 (trail) but only matches at offset 2.
    const char text[] = "\x83\x5C\x5C" "A";
    const char* hit = SjisFindStr(text, "\\A");
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit - text, 2);
    EXPECT_EQ(SjisFindStr("\x83\x5C" "A", "\\A"), nullptr);
    const char line[] = "ソREP_INSTALL";
    EXPECT_EQ(SjisFindStr(line, "REP_INSTALL"), line + 2);
    EXPECT_EQ(SjisFindStr("REP", "REP_"), nullptr);
    const char empty[] = "abc";
    EXPECT_EQ(SjisFindStr(empty, ""), empty);
}

TEST(Sjis, ReplaceCharLeavesTrailBytesAlone) {
    char value[] = "ポ|a|ポ";
    SjisReplaceChar(value, '|', ' ');
    EXPECT_STREQ(value, "ポ a ポ");
    char lone[] = "|\x83";
    SjisReplaceChar(lone, '|', ' ');
    EXPECT_STREQ(lone, " \x83");
}

TEST(Sjis, ReplaceFirstReplacesOnlyOnceAndChecksRoom) {
    char line[32] = "A=REP_X;REP_X";
    EXPECT_EQ(SjisReplaceFirst(line, sizeof line, "REP_X", "C:\\ゲーム"), 1);
    EXPECT_STREQ(line, "A=C:\\ゲーム;REP_X");

    char none[16] = "ソREP";
    EXPECT_EQ(SjisReplaceFirst(none, sizeof none, "\\REP", "x"), 0);
    EXPECT_STREQ(none, "ソREP");

    // The result needs exactly size bytes with its terminator: fits; one more: refused, unchanged.
    char fits[8] = "aXb";
    EXPECT_EQ(SjisReplaceFirst(fits, sizeof fits, "X", "12345"), 1);
    EXPECT_STREQ(fits, "a12345b");
    char tight[8] = "aXb";
    EXPECT_EQ(SjisReplaceFirst(tight, sizeof tight, "X", "123456"), -1);
    EXPECT_STREQ(tight, "aXb");
}

TEST(Sjis, CompareNoCaseFoldsAsciiOnly) {
    EXPECT_EQ(SjisCompareNoCase("Install.ENV", "install.env"), 0);
    // 83 61 and 83 41 differ only in an ASCII-looking trail byte: ャ versus ア.
    EXPECT_NE(SjisCompareNoCase("\x83\x61", "\x83\x41"), 0);
    EXPECT_LT(SjisCompareNoCase("abc", "abd"), 0);
    EXPECT_GT(SjisCompareNoCase("abc", "ab"), 0);
    EXPECT_NE(SjisCompareNoCase("\x83", "\x83\x41"), 0);
}

TEST(StrUtil, CopyAtSizeMinusOneSizeAndSizePlusOne) {
    struct Case {
        const char* src;
        int rc;
        const char* result;
    } cases[] = {
        {"abc", 0, "abc"},     // size - 1 bytes: fits
        {"abcd", -1, "abc"},   // size bytes: the terminator does not fit
        {"abcde", -1, "abc"},  // size + 1
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        char dst[4];
        memset(dst, 'Z', sizeof dst);
        EXPECT_EQ(CopyStr(dst, sizeof dst, c.src), c.rc) << c.src;
        EXPECT_STREQ(dst, c.result) << c.src;
    }
    char one[1] = {'Z'};
    EXPECT_EQ(CopyStr(one, 1, "a"), -1);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(CopyStr(one, 0, "a"), -1);
}

TEST(StrUtil, CopyCutsByBytesEvenInsideACharacter) {
    char dst[4];
    EXPECT_EQ(CopyStr(dst, sizeof dst, "aソb"), -1);
    EXPECT_STREQ(dst, "a\x83\x5C");
    EXPECT_EQ(CopyStr(dst, 3, "aソ"), -1);
    EXPECT_STREQ(dst, "a\x83");
}

TEST(StrUtil, CopyBytesTakesUnterminatedInput) {
    const char raw[] = {'n', 'a', 'm', 'e'};
    char dst[8];
    EXPECT_EQ(CopyBytes(dst, sizeof dst, raw, 3), 0);
    EXPECT_STREQ(dst, "nam");
    EXPECT_EQ(CopyBytes(dst, 4, raw, 4), -1);
    EXPECT_STREQ(dst, "nam");
}

TEST(StrUtil, AppendAtTheLimits) {
    char dst[6] = "ab";
    EXPECT_EQ(AppendStr(dst, sizeof dst, "cde"), 0);  // 5 bytes: size - 1
    EXPECT_STREQ(dst, "abcde");
    EXPECT_EQ(AppendStr(dst, sizeof dst, ""), 0);
    EXPECT_EQ(AppendStr(dst, sizeof dst, "f"), -1);   // size
    EXPECT_STREQ(dst, "abcde");

    char other[6] = "ab";
    EXPECT_EQ(AppendStr(other, sizeof other, "cdefg"), -1);  // size + 1
    EXPECT_STREQ(other, "abcde");

    char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(AppendStr(unterminated, sizeof unterminated, "a"), -1);
    EXPECT_STREQ(unterminated, "xy");
}

TEST(StrUtil, FormatAtTheLimits) {
    char dst[6];
    EXPECT_EQ(FormatStr(dst, sizeof dst, "%s%d", "abc", 12), 0);
    EXPECT_STREQ(dst, "abc12");
    EXPECT_EQ(FormatStr(dst, sizeof dst, "%s%d", "abc", 123), -1);
    EXPECT_STREQ(dst, "abc12");
    EXPECT_EQ(FormatStr(dst, sizeof dst, "%s", "[ソ]ソ"), -1);  // 7 bytes: cut by bytes
    EXPECT_STREQ(dst, "[\x83\x5C]\x83");

    // A message of 1023 bytes fits a 1024-byte buffer; 1024 does not.
    std::string longText(1023, 'x');
    char message[1024];
    EXPECT_EQ(FormatStr(message, sizeof message, "%s", longText.c_str()), 0);
    longText += 'y';
    EXPECT_EQ(FormatStr(message, sizeof message, "[%s]", longText.c_str()), -1);
    EXPECT_EQ(strlen(message), 1023u);
    EXPECT_EQ(message[0], '[');
}

}  // namespace
