// Plug-in libraries on Windows, loaded as the real host loads them: the
// library's property list says what it is and which export to call.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "host/runner/pipl.h"
#include "host/runner/plugin_module.h"

namespace swrunner {

namespace {

// "Windows error N: the system's explanation".
std::string windowsError(DWORD code) {
  std::string text = "Windows error " + std::to_string(code);
  char buffer[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      buffer, sizeof buffer, nullptr);
  std::string explanation(buffer, length);
  while (!explanation.empty() && static_cast<unsigned char>(explanation.back()) <= ' ') explanation.pop_back();
  if (!explanation.empty()) text.append(": ").append(explanation);
  return text;
}

class LibraryPlugin final : public PluginModule {
 public:
  explicit LibraryPlugin(std::filesystem::path file) : file_(std::move(file)) {}
  ~LibraryPlugin() override { unload(); }
  LibraryPlugin(const LibraryPlugin&) = delete;
  LibraryPlugin& operator=(const LibraryPlugin&) = delete;

  hostapi::PluginEntry load() override {
    if (module_ != nullptr) return entry_;
    module_ = LoadLibraryW(file_.c_str());
    if (module_ == nullptr) throw ModuleError("cannot load the plug-in: " + windowsError(GetLastError()));
    try {
      const PluginProperties properties = readProperties();
      const FARPROC entry = GetProcAddress(module_, properties.entryPoint.c_str());
      if (entry == nullptr) {
        throw ModuleError("the property list names the entry point \"" + properties.entryPoint +
                          "\", which the library does not export");
      }
      entry_ = reinterpret_cast<hostapi::PluginEntry>(reinterpret_cast<void (*)()>(entry));
    } catch (...) {
      unload();
      throw;
    }
    return entry_;
  }

  void unload() override {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
    entry_ = nullptr;
  }

  bool loaded() const override { return module_ != nullptr; }

  // Loads the cursor group from the plug-in's resources, as the real host
  // does before showing it. A cursor that is not there is the plug-in's
  // fault: the call fails and the host records a violation.
  hostapi::HostError showCursor(swhost::Host& host, std::int32_t cursorId) override {
    if (module_ != nullptr && cursorId > 0 && cursorId <= 0xFFFF) {
      const auto id = static_cast<WORD>(cursorId);
      if (LoadCursorA(module_, MAKEINTRESOURCEA(id)) != nullptr) return hostapi::kNoError;
    }
    const std::string what =
        "the plug-in has no cursor resource " + std::to_string(cursorId) + " (" + windowsError(GetLastError()) + ")";
    std::fprintf(stderr, "slantwarper-host: %s\n", what.c_str());
    return host.violation("ADM Basic Suite/set cursor", what);
  }

 private:
  PluginProperties readProperties() const {
    const HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(kPropertyListResourceId), kPropertyListResourceType);
    if (found == nullptr) {
      throw ModuleError("not a plug-in: no property list (resource \"PIPL\" " +
                        std::to_string(kPropertyListResourceId) + ")");
    }
    const DWORD size = SizeofResource(module_, found);
    const HGLOBAL resource = LoadResource(module_, found);
    const void* data = resource != nullptr ? LockResource(resource) : nullptr;
    if (data == nullptr) throw ModuleError("cannot read the property list: " + windowsError(GetLastError()));
    try {
      return readPropertyList(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size));
    } catch (const MalformedPropertyList& malformed) {
      throw ModuleError(std::string("not a plug-in this host can call: ") + malformed.what());
    }
  }

  std::filesystem::path file_;
  HMODULE module_ = nullptr;
  hostapi::PluginEntry entry_ = nullptr;
};

}  // namespace

std::unique_ptr<PluginModule> openPluginLibrary(const std::filesystem::path& file) {
  return std::make_unique<LibraryPlugin>(file);
}

std::filesystem::path pluginFileName() { return "slantWarper.aip"; }

std::filesystem::path executablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::filesystem::path(std::wstring(buffer.data(), length));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace swrunner
