// Whose code is running: the plug-in's, or the host's. Tests that make the
// plug-in's own allocations fail count only those made while the plug-in's
// code runs, never the host's: a message being handled marks the plug-in's
// time, and every suite operation marks the host's time inside it.
//
// Two counters, one message at a time (the host is single-threaded), kept
// inline so that marking costs an increment and a decrement.
#pragma once

namespace swhost {

namespace detail {
inline int gPluginDepth = 0;  // messages being handled by the plug-in
inline int gHostDepth = 0;    // suite operations in progress
}  // namespace detail

// True while the plug-in's own code runs: inside a delivered message and
// outside every host operation it calls.
inline bool pluginCodeRunning() noexcept { return detail::gPluginDepth > 0 && detail::gHostDepth == 0; }

// Marks the plug-in handling one message (around the call of its entry point).
class PluginCodeScope {
 public:
  PluginCodeScope() noexcept { ++detail::gPluginDepth; }
  ~PluginCodeScope() { --detail::gPluginDepth; }
  PluginCodeScope(const PluginCodeScope&) = delete;
  PluginCodeScope& operator=(const PluginCodeScope&) = delete;
};

// Marks one host operation in progress; the first statement of each.
class HostCodeScope {
 public:
  HostCodeScope() noexcept { ++detail::gHostDepth; }
  ~HostCodeScope() { --detail::gHostDepth; }
  HostCodeScope(const HostCodeScope&) = delete;
  HostCodeScope& operator=(const HostCodeScope&) = delete;
};

}  // namespace swhost
