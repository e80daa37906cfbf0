// The plug-in in the web build: a WebAssembly side module, loaded with the
// runtime's dlopen the way the Linux runner loads slantWarper.so.
#pragma once

#include <filesystem>
#include <memory>

#include "host/runner/plugin_module.h"

namespace swweb {

// The side module at `file` (in the runtime's in-memory file system). Each
// load instantiates a fresh copy of it, with fresh static data, as loading a
// library a host had unloaded does: the runtime never really unloads a side
// module and hands the same instance back for a name it has loaded, so each
// load opens a copy under a name of its own. The copy's file is removed once
// it is open. Throws ModuleError from load() as the other modules do.
std::unique_ptr<swrunner::PluginModule> openSideModule(const std::filesystem::path& file);

}  // namespace swweb
