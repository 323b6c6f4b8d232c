// Guards that keep each of the Settings, About and Exit commands from being
// entered a second time while its window is open.
#pragma once

#include <array>
#include <cstdint>

inline constexpr std::uint8_t kSettingsSlot = 0;
inline constexpr std::uint8_t kAboutSlot = 1;
inline constexpr std::uint8_t kExitSlot = 2;

// One flag per command: 1 busy, 0 free. Touched on the user-interface thread only.
using DialogSlots = std::array<int, 3>;

// 1 when the slot was free and is now taken; 0 when it was busy (nothing
// changes) or does not exist.
int AcquireDialogSlot(DialogSlots& dialogBusy, std::uint8_t slot);
void ReleaseDialogSlot(DialogSlots& dialogBusy, std::uint8_t slot);
