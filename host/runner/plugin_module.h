// Where the runner's plug-in comes from: a library loaded from disk (dlopen
// on Linux; on Windows LoadLibrary, guided by the library's property list),
// or, in tests, a plug-in linked into the program.
//
// The host may unload a plug-in between "SP Access"/"Unload" and
// "SP Access"/"Reload": a library really is unloaded then, so the plug-in
// keeps nothing across that gap but what it handed the host.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/host.h"

namespace swrunner {

// The library could not be loaded, or is not a plug-in this host can call.
class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PluginModule {
 public:
  virtual ~PluginModule() = default;

  // Loads the plug-in if it is not loaded and returns its entry point.
  // Throws ModuleError.
  virtual hostapi::PluginEntry load() = 0;
  // Unloads the plug-in; the entry point is dead until the next load().
  virtual void unload() = 0;
  virtual bool loaded() const = 0;
  // Shows the plug-in's cursor resource `cursorId` for the host, or returns
  // the error why it cannot. Without resources to load (Linux, linked
  // plug-ins) there is nothing to show and it succeeds.
  virtual hostapi::HostError showCursor(swhost::Host& host, std::int32_t cursorId);
};

// A plug-in linked into this program: loading and unloading change nothing.
class LinkedPlugin final : public PluginModule {
 public:
  explicit LinkedPlugin(hostapi::PluginEntry entry) : entry_(entry) {}
  hostapi::PluginEntry load() override {
    loaded_ = true;
    return entry_;
  }
  void unload() override { loaded_ = false; }
  bool loaded() const override { return loaded_; }

 private:
  hostapi::PluginEntry entry_;
  bool loaded_ = false;
};

// The plug-in library at `file`, not loaded yet. On Windows, load() reads
// the library's property list (resource "PIPL" 16000), requires kind 'SPEA'
// and interface version 2, and calls the export its 'wx86' property names;
// on Linux it calls the export PluginMain.
std::unique_ptr<PluginModule> openPluginLibrary(const std::filesystem::path& file);

// The file name plug-in libraries have on this platform: slantWarper.so or
// slantWarper.aip.
std::filesystem::path pluginFileName();

// The running program's own file, for finding the plug-in built beside it.
std::filesystem::path executablePath();

}  // namespace swrunner
