#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "menu/menu_slots.h"

namespace {

struct Expected {
    int role;
    const char* text;
};

// What the player sees bottom up, for each answer of the DirectX-folder check and each INSTREADME.
TEST(MenuSlots, ButtonsStackFromTheBottomWithoutGaps) {
    const std::string longLabel(127, 'r');
    struct Case {
        bool directX;
        const char* readme;
        std::vector<Expected> used;
    } cases[] = {
        {false, "-", {{kRoleExit, "終了"}, {kRoleUpdate, "アップデート"}}},
        {false, "-no read-me", {{kRoleExit, "終了"}, {kRoleUpdate, "アップデート"}}},
        {false, "読んでね", {{kRoleExit, "終了"}, {kRoleReadme, "読んでね"}, {kRoleUpdate, "アップデート"}}},
        {true, "-", {{kRoleExit, "終了"}, {kRoleDirectXSetup, "DirectXインストール"}, {kRoleUpdate, "アップデート"}}},
        {true,
         "Read|me",
         {{kRoleExit, "終了"},
          {kRoleDirectXSetup, "DirectXインストール"},
          {kRoleReadme, "Read|me"},
          {kRoleUpdate, "アップデート"}}},
        {false, longLabel.c_str(), {{kRoleExit, "終了"}, {kRoleReadme, longLabel.c_str()}, {kRoleUpdate, "アップデート"}}},
    };
    for (const Case& c : cases) {
        MenuSlot slots[kMenuSlotCount];
        for (MenuSlot& s : slots) s = {99, "stale"};
        ASSERT_EQ(FillMenuSlots(c.directX, c.readme, slots), static_cast<int>(c.used.size())) << c.readme;
        for (int i = 0; i < kMenuSlotCount; ++i) {
            if (i < static_cast<int>(c.used.size())) {
                EXPECT_EQ(slots[i].role, c.used[i].role) << c.readme << " slot " << i;
                EXPECT_STREQ(slots[i].text, c.used[i].text) << c.readme << " slot " << i;
            } else {
                EXPECT_EQ(slots[i].role, kRoleNone) << c.readme << " slot " << i;
                EXPECT_EQ(slots[i].text, nullptr) << c.readme << " slot " << i;
            }
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
