// The main of every GoogleTest binary: each test runs with the substitute
// host in strict mode, so the first broken contract fails it there and then.
// A test that breaks one on purpose turns strict mode off for its own run
// (swhost::StrictModeScope with no handler).
#include <gtest/gtest.h>

#include "tests/support/strict_mode.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  swhost::setStrictByDefault(swtest::stopAtBreach);
  return RUN_ALL_TESTS();
}
