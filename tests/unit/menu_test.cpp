#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "menu/menu_slots.h"

namespace {

// What the player sees bottom up, for each answer of the DirectX-folder check and each INSTREADME:
// E(xit), D(irectX), R(ead-me, labelled with INSTREADME) and U(pdate).
TEST(MenuSlots, ButtonsStackFromTheBottomWithoutGaps) {
    const std::string longLabel(127, 'r');
    const struct {
        bool directX;
        const char *readme, *used;
    } cases[] = {
        {false, "-", "EU"}, {false, "-no read-me", "EU"}, {false, "読んでね", "ERU"},
        {true, "-", "EDU"}, {true, "Read|me", "EDRU"},    {false, longLabel.c_str(), "ERU"},
    };
    const struct {
        char code;
        int role;
        const char* text;
    } roles[] = {
        {'E', kRoleExit, "終了"}, {'D', kRoleDirectXSetup, "DirectXインストール"}, {'U', kRoleUpdate, "アップデート"}};
    for (const auto& c : cases) {
        MenuSlot slots[kMenuSlotCount];
        for (MenuSlot& s : slots) s = {99, "stale"};
        const int used = static_cast<int>(strlen(c.used));
        ASSERT_EQ(FillMenuSlots(c.directX, c.readme, slots), used) << c.readme;
        for (int i = 0; i < kMenuSlotCount; ++i) {
            MenuSlot want = {kRoleNone, nullptr};
            if (i < used && c.used[i] == 'R') want = {kRoleReadme, c.readme};
            for (const auto& r : roles) {
                if (i < used && c.used[i] == r.code) want = {r.role, r.text};
            }
            EXPECT_EQ(slots[i].role, want.role) << c.readme << " slot " << i;
            EXPECT_STREQ(slots[i].text, want.text) << c.readme << " slot " << i;
        }
    }
}

// Only a click (notification 0 in the high half) on a used button acts; Escape's IDCANCEL, focus
// notifications and destroyed buttons do nothing.
TEST(MenuSlots, OnlyTheWholeParameterOfAUsedButtonMatches) {
    MenuSlot slots[kMenuSlotCount];
    ASSERT_EQ(FillMenuSlots(true, "readme", slots), 4);
    const struct {
        uint64_t param;
        int slot;
    } cases[] = {
        {1000, 0},
        {1003, 3},
        {1004, -1},                 // destroyed
        {1008, -1},                 // destroyed
        {2, -1},                    // IDCANCEL from the Escape key
        {(6u << 16) | 1001, -1},    // BN_SETFOCUS from a used button
        {(1ull << 32) | 1001, -1},  // a parameter wider than 32 bits
        {static_cast<uint64_t>(999), -1},
    };
    for (const auto& c : cases) EXPECT_EQ(FindMenuSlot(slots, c.param), c.slot) << std::hex << c.param;
}

TEST(MenuSlots, SplashIsCentredOnTheClientHeightTruncatingTowardZero) {
    const struct {
        int32_t height, side, at;
    } cases[] = {
        {300, 256, 22}, {300, 300, 0},   {301, 256, 22},    {300, 301, 0},  // -1 / 2 is 0, not -1
        {300, 303, -1}, {100, 257, -78}, {0, 16384, -8192}, {300, 0, 150},
    };
    for (const auto& c : cases) EXPECT_EQ(SplashOffset(c.height, c.side), c.at) << c.height << " " << c.side;
}

}  // namespace
