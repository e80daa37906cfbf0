// The few calls the plug-in makes to the operating system rather than to the
// host.
#pragma once

#include <cstdint>

// The state of the Shift key from the system's key state: bit 0x80 is set
// while the key is down.
std::int16_t shiftKeyState();
