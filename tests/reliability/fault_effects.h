// What a failed host call does to the handler that made it: most failures
// end the handler with their code; a few results are ignored or replaced by
// design, and a failed string comparison cannot be detected at all.
#pragma once

#include <string_view>

#include "bridge/host_api.h"

namespace swrel {

enum class FaultEffect {
  // The handler stops and returns the call's code.
  returned,
  // The same, except that an unknown tool icon later in startup replaces the
  // code with '!ico' (the tool-number lookup).
  returnedOrNoIcon,
  // The handler carries on; the code never becomes its result. Releases,
  // disposals, freeing the globals block, the drawer, the alert, the cursor,
  // the stray copies removed at mouse-down, and the deactivation at
  // mouse-up (whose result the invalidation replaces).
  ignored,
  // The host answers with no icon or an unknown icon type: startup fails
  // with '!ico' instead.
  noIcon,
  // A string comparison answers "not equal": the message may reach another
  // handler, or none. The plug-in cannot tell; only the run's invariants say
  // whether anything was lost.
  misroute,
};

// The effect of the call `call` ("<suite>/<operation>", as the host logs it)
// failing while the plug-in handles the message caller / selector.
FaultEffect faultEffect(std::string_view call, std::string_view caller, std::string_view selector);

// The name of an effect, for messages.
const char* effectName(FaultEffect effect);

}  // namespace swrel
