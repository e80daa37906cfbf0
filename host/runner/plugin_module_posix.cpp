// Plug-in libraries on Linux: shared objects loaded with dlopen. The module
// leaves GetKeyState undefined; the runner exports its own (the substitute
// host's), which the dynamic linker binds it to.
#include <dlfcn.h>
#include <unistd.h>

#include <system_error>

#include "host/runner/plugin_module.h"

namespace swrunner {

namespace {

std::string lastDlError() {
  const char* error = dlerror();
  return error != nullptr ? error : "unknown error";
}

class SharedObjectPlugin final : public PluginModule {
 public:
  explicit SharedObjectPlugin(std::filesystem::path file) : file_(std::move(file)) {}
  // The library stays loaded until the process ends, so that the leak
  // report a sanitizer build makes at exit can still name its code.
  ~SharedObjectPlugin() override = default;
  SharedObjectPlugin(const SharedObjectPlugin&) = delete;
  SharedObjectPlugin& operator=(const SharedObjectPlugin&) = delete;

  hostapi::PluginEntry load() override {
    if (handle_ != nullptr) return entry_;
    // A path without a slash would make dlopen search the library path.
    const std::filesystem::path file = file_.has_parent_path() ? file_ : std::filesystem::path(".") / file_;
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw ModuleError("cannot load the plug-in: " + lastDlError());
    void* symbol = dlsym(handle_, "PluginMain");
    if (symbol == nullptr) {
      unload();
      throw ModuleError("not a plug-in: it exports no PluginMain");
    }
    entry_ = reinterpret_cast<hostapi::PluginEntry>(symbol);
    return entry_;
  }

  void unload() override {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
    entry_ = nullptr;
  }

  bool loaded() const override { return handle_ != nullptr; }

 private:
  std::filesystem::path file_;
  void* handle_ = nullptr;
  hostapi::PluginEntry entry_ = nullptr;
};

}  // namespace

std::unique_ptr<PluginModule> openPluginLibrary(const std::filesystem::path& file) {
  return std::make_unique<SharedObjectPlugin>(file);
}

std::filesystem::path pluginFileName() { return "slantWarper.so"; }

std::filesystem::path executablePath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self;
}

}  // namespace swrunner
