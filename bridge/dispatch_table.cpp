// The dispatch table: which handler each (caller, selector) pair reaches,
// what record it needs before it may run, and the fallback that runs
// startup and answers every message no row names.
#include "bridge/dispatch.h"
#include "bridge/error_codes.h"
#include "bridge/globals.h"
#include "bridge/handlers.h"
#include "bridge/suites.h"

using namespace hostapi;

namespace {

using Handler = HostError (*)(MessageHeader& message);

// What a handler needs before it may run. A host sends tool, annotation and
// menu messages only between startup and shutdown; any other order is
// refused here instead of reaching a handler that would read a missing record.
enum class Needs { nothing, globals, globalsAndLists };

// Adapts a handler taking its own message record to the table's signature.
// Every record starts with the common header.
template <typename Message, HostError (*handle)(Message&)>
HostError adapt(MessageHeader& message) {
  return handle(reinterpret_cast<Message&>(message));
}

struct DispatchRow {
  const char* caller;
  const char* selector;  // null: any selector not matched by an earlier row
  Handler handler;       // null: return 0 without calling anything
  Needs needs;
};

// Checked top to bottom; the first row whose caller and selector match
// decides. Pairs matching no row go to the fallback.
const DispatchRow kDispatchTable[] = {
    {"SP Access", "Unload", onUnload, Needs::nothing},
    {"SP Access", "Reload", onReload, Needs::nothing},
    {"SP Access", nullptr, nullptr, Needs::nothing},
    // "SP Interface"/"Startup" has no row: the fallback runs onStartup.
    {"SP Interface", "Shutdown", onShutdown, Needs::nothing},
    {"AI Menu", "AI Go", adapt<MenuMessage, onMenuGo>, Needs::globals},
    {"AI Menu", nullptr, nullptr, Needs::nothing},
    {"AI Tool", "AI Mouse Down", adapt<ToolMessage, onMouseDown>, Needs::globalsAndLists},
    {"AI Tool", "AI Mouse Drag", adapt<ToolMessage, onMouseDrag>, Needs::globalsAndLists},
    {"AI Tool", "AI Mouse Up", adapt<ToolMessage, onMouseUp>, Needs::globalsAndLists},
    {"AI Tool", "AI Track Cursor", adapt<ToolMessage, onTrackCursor>, Needs::nothing},
    {"AI Tool", nullptr, nullptr, Needs::nothing},
    {"AI Annotation", "AI Draw", adapt<AnnotatorMessage, onAnnotationDraw>, Needs::globals},
    {"AI Annotation", "AI Invalidate", adapt<AnnotatorMessage, onAnnotationInvalidate>, Needs::globals},
    {"AI Annotation", nullptr, nullptr, Needs::nothing},
};

bool ready(Needs needs) {
  switch (needs) {
    case Needs::nothing:
      return true;
    case Needs::globals:
      return gGlobals != nullptr;
    case Needs::globalsAndLists:
      return gGlobals != nullptr && gGlobals->targetPaths != nullptr && gGlobals->referencePaths != nullptr &&
             gGlobals->undisposedCopies != nullptr;
  }
  return false;
}

// Every pair no row catches: acquire and release the suite table around
// startup, or around nothing for messages this plug-in does not know.
HostError fallback(const char* caller, const char* selector, MessageHeader& message) {
  const BasicSuite* basic = message.basic;
  HostError result = acquireSuites(basic);
  if (result == kNoError && basic->isEqual(caller, "SP Interface") && basic->isEqual(selector, "Startup")) {
    result = onStartup(message);
  }
  releaseSuites(basic);
  return result;
}

}  // namespace

HostError dispatchMessage(const char* caller, const char* selector, MessageHeader& message) {
  const BasicSuite* basic = message.basic;
  for (const DispatchRow& row : kDispatchTable) {
    if (!basic->isEqual(caller, row.caller)) continue;
    if (row.selector != nullptr && !basic->isEqual(selector, row.selector)) continue;
    if (row.handler == nullptr) return kNoError;
    if (!ready(row.needs)) return kNotStartedError;
    return row.handler(message);
  }
  return fallback(caller, selector, message);
}
