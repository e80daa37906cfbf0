#include "web/wasm/side_module_plugin.h"

#include <dlfcn.h>

#include <fstream>
#include <iterator>
#include <string>

namespace swweb {

namespace {

using swrunner::ModuleError;

// Loads so far in this runtime: every copy gets a name never used before.
unsigned gLoads = 0;

class SideModulePlugin final : public swrunner::PluginModule {
 public:
  explicit SideModulePlugin(std::filesystem::path file) : file_(std::move(file)) {}

  hostapi::PluginEntry load() override {
    if (handle_ != nullptr) return entry_;
    const std::filesystem::path copy =
        file_.parent_path() / (file_.stem().string() + "-" + std::to_string(++gLoads) + file_.extension().string());
    std::error_code error;
    std::filesystem::copy_file(file_, copy, std::filesystem::copy_options::overwrite_existing, error);
    if (error) throw ModuleError("cannot load the plug-in: " + file_.string() + ": " + error.message());
    handle_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::filesystem::remove(copy, error);
    if (handle_ == nullptr) {
      const char* why = dlerror();
      throw ModuleError(std::string("cannot load the plug-in: ") + (why != nullptr ? why : "unknown error"));
    }
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

std::unique_ptr<swrunner::PluginModule> openSideModule(const std::filesystem::path& file) {
  return std::make_unique<SideModulePlugin>(file);
}

}  // namespace swweb
