// Host objects other than art, and how their handles are made. Handles are
// small tagged numbers, never addresses, so a stale or foreign handle is
// recognised instead of being followed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"

namespace swhost {

// A handle is a base for its kind plus 16 times the object's index.
template <typename Handle>
Handle makeHandle(std::uintptr_t base, std::size_t index) {
  return reinterpret_cast<Handle>(base + 16 * index);
}

// The index behind a handle of this kind, if it is one below `count`.
template <typename Handle>
std::optional<std::size_t> handleIndex(Handle handle, std::uintptr_t base, std::size_t count) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < base || (value - base) % 16 != 0) return std::nullopt;
  const std::size_t index = (value - base) / 16;
  if (index >= count) return std::nullopt;
  return index;
}

inline constexpr std::uintptr_t kToolBase = 0xB0000;
inline constexpr std::uintptr_t kAnnotatorBase = 0xC0000;
inline constexpr std::uintptr_t kMenuItemBase = 0xD0000;
inline constexpr std::uintptr_t kMenuGroupBase = 0xE0000;
inline constexpr std::uintptr_t kViewBase = 0xF0000;
inline constexpr std::uintptr_t kDrawerBase = 0xF1000;
inline constexpr std::uintptr_t kIconBase = 0xF2000;
inline constexpr std::uintptr_t kPluginBase = 0xF3000;

// A Unicode string held for the plug-in. Its handle is its address; the host
// checks it against the live set before following it.
struct HostUnicodeString {
  std::string text;
};

// A matching-art answer: the handle given out is the address of `array`,
// which points to the handles.
struct MatchingAnswer {
  std::vector<hostapi::ArtHandle> art;
  hostapi::ArtHandle* array = nullptr;
};

// View 0, the only view there is.
inline bool isView(hostapi::DocumentViewHandle view) { return handleIndex(view, kViewBase, 1).has_value(); }

// The live string a wrapper holds, or null (also for a null wrapper, or one
// that holds a string the host no longer has); unicode_string_suite.cpp.
HostUnicodeString* liveString(const hostapi::UnicodeStringHandle* wrapper);

struct Host::Objects {
  std::vector<std::string> toolNames;  // numbered from 0: the world's tools, then those added

  struct Annotator {
    std::string name;
    bool active = true;
  };
  std::vector<Annotator> annotators;

  // The drawer is valid only while an "AI Draw" message is being handled.
  bool drawerValid = false;
  hostapi::RgbColor color{0, 0, 0};
  std::vector<float> dash;

  // Live Unicode strings and matching-art answers, by the handle given out.
  std::map<const void*, std::unique_ptr<HostUnicodeString>> strings;
  std::map<const void*, std::unique_ptr<MatchingAnswer>> answers;
};

}  // namespace swhost
