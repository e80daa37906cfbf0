// The Shift key's state from the operating system (platform.h): the Windows
// call on Windows; on Linux the same call, answered by the process that
// loaded the plug-in.
#include "bridge/platform.h"

#if defined(_WIN32)
#include <windows.h>
#else
// On Linux the process that loads the plug-in supplies the Windows call: the
// substitute host answers it from its own key state, so the plug-in asks for
// Shift exactly as it does on Windows.
extern "C" std::int16_t GetKeyState(std::int32_t virtualKey);
namespace {
constexpr std::int32_t VK_SHIFT = 0x10;
}
#endif

std::int16_t shiftKeyState() { return static_cast<std::int16_t>(GetKeyState(VK_SHIFT)); }
