// The plug-in as a side module (side_module_plugin.h): each load opens a copy
// under a new name, since the runtime hands back the same instance for a name
// it has loaded and never unloads one; so a load after an unload starts from
// fresh module state, as a library the host unloaded and loads again does.
#include "web/wasm/side_module_plugin.h"

#include <string>

namespace swweb {

namespace {

// Loads so far in this runtime: every copy gets a name never used before.
unsigned gLoads = 0;

// Each load opens a fresh copy of the file with the runner's own dlopen
// module, and unloading drops it; the copy's file goes once it is open.
class SideModulePlugin final : public swrunner::PluginModule {
 public:
  explicit SideModulePlugin(std::filesystem::path file) : file_(std::move(file)) {}

  hostapi::PluginEntry load() override {
    if (loaded()) return copy_->load();
    const std::filesystem::path copy =
        file_.parent_path() / (file_.stem().string() + "-" + std::to_string(++gLoads) + file_.extension().string());
    std::error_code error;
    std::filesystem::copy_file(file_, copy, std::filesystem::copy_options::overwrite_existing, error);
    if (error) throw swrunner::ModuleError("cannot load the plug-in: " + file_.string() + ": " + error.message());
    copy_ = swrunner::openPluginLibrary(copy);
    try {
      const hostapi::PluginEntry entry = copy_->load();
      std::filesystem::remove(copy, error);
      return entry;
    } catch (...) {
      std::filesystem::remove(copy, error);
      copy_.reset();
      throw;
    }
  }

  void unload() override {
    if (copy_ != nullptr) copy_->unload();
  }

  bool loaded() const override { return copy_ != nullptr && copy_->loaded(); }

 private:
  std::filesystem::path file_;
  std::unique_ptr<swrunner::PluginModule> copy_;  // the copy loaded last
};

}  // namespace

std::unique_ptr<swrunner::PluginModule> openSideModule(const std::filesystem::path& file) {
  return std::make_unique<SideModulePlugin>(file);
}

}  // namespace swweb
