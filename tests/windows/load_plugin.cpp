// Loads a plug-in library the way the host does at the least: LoadLibrary,
// then the entry point by its undecorated name. Exit status 0 when both work.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: load_plugin PLUGIN.aip\n");
    return 2;
  }
  HMODULE module = LoadLibraryA(argv[1]);
  if (module == nullptr) {
    std::fprintf(stderr, "load_plugin: cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  FARPROC entry = GetProcAddress(module, "PluginMain");
  if (entry == nullptr) {
    std::fprintf(stderr, "load_plugin: %s exports no PluginMain\n", argv[1]);
    FreeLibrary(module);
    return 1;
  }
  std::printf("load_plugin: %s loaded, PluginMain found\n", argv[1]);
  FreeLibrary(module);
  return 0;
}
