// The command line of slantwarper-host.
#pragma once

#include <ostream>

namespace swrunner {

// Runs the program with these arguments, writing to `out` (the report with
// "--json -", the demo's summary) and `err` (one line per problem), and
// returns the exit status (see run.h). `out` must be in binary mode for the
// report's bytes to be the same on every platform.
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace swrunner
