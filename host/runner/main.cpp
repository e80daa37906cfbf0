// slantwarper-host: runs scenarios against the slantWarper plug-in in the
// substitute host. See `slantwarper-host --help`.
#include <iostream>

#include "host/runner/cli.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#if defined(_WIN32)
  // Reports go out byte for byte: no "\n" to "\r\n" translation.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return swrunner::runCommandLine(argc, argv, std::cout, std::cerr);
}
