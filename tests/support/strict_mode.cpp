#include "tests/support/strict_mode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace swtest {

std::string describe(const swhost::Breach& breach) {
  std::string text = breach.call;
  if (!breach.suite.empty()) text += " (" + breach.suite + ")";
  text += " while handling " + (breach.message.empty() ? std::string("no message") : breach.message);
  return text + ": " + breach.what;
}

void stopAtBreach(const swhost::Breach& breach) {
  const std::string text = "broken host contract: " + describe(breach);
  std::fprintf(stderr, "%s\n", text.c_str());
  ADD_FAILURE() << text;
  std::fflush(stdout);
  std::abort();
}

}  // namespace swtest
