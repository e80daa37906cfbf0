// The Shift key as the plug-in sees it through GetKeyState.
#include <cstdint>

#include "host/host.h"
#include "host/plugin_code.h"

#if defined(_WIN32)
#include <windows.h>

namespace swhost {

// The plug-in's own GetKeyState call reads the thread's keyboard state, so
// the runner sets that state itself.
void applyKeyState(bool shiftDown) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  const BYTE state = shiftDown ? 0x80 : 0x00;
  keys[VK_SHIFT] = state;
  keys[VK_LSHIFT] = state;
  SetKeyboardState(keys);
}

}  // namespace swhost

#else

namespace swhost {
void applyKeyState(bool) {}
}  // namespace swhost

// The system call the plug-in makes for Shift, supplied on Linux by the
// process that loads it: the substitute host answers for the Shift key
// (virtual key 0x10) the way Windows does, with the sign bit and bit 0x80 set
// while the key is down.
extern "C" __attribute__((visibility("default"))) std::int16_t GetKeyState(std::int32_t virtualKey) {
  const swhost::HostCodeScope hostCode;
  constexpr std::int32_t kShiftKey = 0x10;
  const swhost::Host* host = swhost::Host::active();
  if (virtualKey != kShiftKey || host == nullptr || !host->shift()) return 0;
  return static_cast<std::int16_t>(0xFF80);
}

#endif
