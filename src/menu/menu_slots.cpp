#include "menu/menu_slots.h"

#include "config/settings.h"

int FillMenuSlots(bool hasDirectXFolder, const char* readmeLabel, MenuSlot slots[kMenuSlotCount]) {
    int used = 0;
    slots[used++] = {kRoleExit, "終了"};
    // The folder can only arrive by other means than the start-up's extraction, which makes none.
    if (hasDirectXFolder) slots[used++] = {kRoleDirectXSetup, "DirectXインストール"};
    if (readmeLabel && !IsSettingOff(readmeLabel)) slots[used++] = {kRoleReadme, readmeLabel};
    slots[used++] = {kRoleUpdate, "アップデート"};
    for (int i = used; i < kMenuSlotCount; ++i) slots[i] = {kRoleNone, nullptr};
    return used;
}

int FindMenuSlot(const MenuSlot slots[kMenuSlotCount], uint64_t commandParam) {
    for (int i = 0; i < kMenuSlotCount; ++i) {
        if (slots[i].role != kRoleNone && commandParam == static_cast<uint64_t>(kMenuFirstButtonId + i)) return i;
    }
    return -1;
}

int32_t SplashOffset(int32_t clientHeight, int32_t side) {
    // 64 bits: a picture of up to 16384 pixels against any client height cannot overflow.
    return static_cast<int32_t>((static_cast<int64_t>(clientHeight) - side) / 2);
}
