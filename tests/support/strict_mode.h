// The substitute host's strict mode as the tests use it.
#pragma once

#include "host/host.h"

namespace swtest {

// Fails the running test at the broken contract, naming the call, its suite,
// the message being handled and what broke (also on stderr), and ends the
// process there: nothing after the breach runs. Every test binary's main
// makes it the default (tests/support/strict_main.cpp).
[[noreturn]] void stopAtBreach(const swhost::Breach& breach);

// "<call> (<suite>) while handling <message>: <what>".
std::string describe(const swhost::Breach& breach);

}  // namespace swtest
