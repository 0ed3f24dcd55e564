#pragma once
// The main menu's button slots: which button stands where and what it does. Kept apart from the
// dialog so the choice can be tested natively.
#include <cstdint>

// What a button does when pressed (no role is numbered 4).
enum ButtonRole {
    kRoleNone = 0,
    kRoleUpdate = 1,
    kRoleDirectXSetup = 2,
    kRoleExit = 3,
    kRoleReadme = 5,
};

constexpr int kMenuSlotCount = 9;
constexpr int kMenuFirstButtonId = 1000;  // slot i belongs to the button with ID 1000 + i

struct MenuSlot {
    int role;          // a ButtonRole
    const char* text;  // CP932; null for kRoleNone. May point into readmeLabel.
};

// Fills the slots bottom up: Exit, DirectX setup when the folder is there, the read-me when its
// label does not begin with "-", Update on top; the rest get kRoleNone. Returns the number used.
int FillMenuSlots(bool hasDirectXFolder, const char* readmeLabel, MenuSlot slots[kMenuSlotCount]);

// The slot whose button a WM_COMMAND's whole parameter names (a click: notification code 0 in the
// high half), or -1. Unused slots never match.
int FindMenuSlot(const MenuSlot slots[kMenuSlotCount], uint64_t commandParam);

// Where a picture of side pixels starts so that it is centred in a client area `clientHeight`
// high. The menu uses the height for both coordinates, so the picture sits in a square on the left.
int32_t SplashOffset(int32_t clientHeight, int32_t side);
