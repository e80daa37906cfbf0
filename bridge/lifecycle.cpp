// The lifecycle handlers: startup makes the globals record and its art
// lists and runs the startup steps; unload and reload drop and remake the
// lists around the library's absence; shutdown frees them and the record.
#include <new>

#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "bridge/handlers.h"
#include "bridge/startup_steps.h"
#include "bridge/suites.h"

using namespace hostapi;

ToolGlobals* gGlobals = nullptr;

namespace {

// Creates whichever list is missing. Returns false, with nothing half-made,
// when memory runs out.
bool createMissingArtLists(ToolGlobals& globals) {
  if (globals.targetPaths == nullptr) globals.targetPaths = new (std::nothrow) ArtList;
  if (globals.referencePaths == nullptr) globals.referencePaths = new (std::nothrow) ArtList;
  if (globals.undisposedCopies == nullptr) globals.undisposedCopies = new (std::nothrow) ArtList;
  if (globals.targetPaths != nullptr && globals.referencePaths != nullptr && globals.undisposedCopies != nullptr) {
    return true;
  }
  freeArtLists();
  return false;
}

}  // namespace

void freeArtLists() {
  if (gGlobals == nullptr) return;
  delete gGlobals->targetPaths;
  gGlobals->targetPaths = nullptr;
  delete gGlobals->referencePaths;
  gGlobals->referencePaths = nullptr;
  delete gGlobals->undisposedCopies;
  gGlobals->undisposedCopies = nullptr;
}

HostError onStartup(MessageHeader& message) {
  SuiteScope suites(message.basic);
  HostError result = suites.result();
  if (result != kNoError) return result;

  // A second startup without a shutdown between them would lose the lists
  // of the record the plug-in holds: they go first. The record's block and
  // what startup registered stay the host's.
  freeArtLists();

  void* block = nullptr;
  result = message.basic->allocateBlock(sizeof(ToolGlobals), &block);
  if (result != kNoError) return result;
  // The record starts cleared: every handle null, no list.
  gGlobals = new (block) ToolGlobals{};
  message.globals = gGlobals;

  // A list that cannot be created fails startup like a failed registration:
  // the block stays with the host, which frees it at shutdown.
  if (!createMissingArtLists(*gGlobals)) return kOutOfMemoryError;
  gGlobals->dragDivisor = kDragDivisor;

  result = addAboutMenu(message);
  if (result == kNoError) result = addTool(message);
  if (result == kNoError) result = registerAnnotator(message);
  return result;
}

HostError onUnload(MessageHeader& message) {
  freeArtLists();
  message.globals = gGlobals;
  return kNoError;
}

HostError onReload(MessageHeader& message) {
  gGlobals = static_cast<ToolGlobals*>(message.globals);
  if (gGlobals != nullptr && !createMissingArtLists(*gGlobals)) return kOutOfMemoryError;
  return kNoError;
}

HostError onShutdown(MessageHeader& message) {
  if (gGlobals == nullptr) return kNoError;
  freeArtLists();
  message.basic->freeBlock(gGlobals);
  gGlobals = nullptr;
  message.globals = nullptr;
  return kNoError;
}
