// libFuzzer target: scenario files as the runner reads them. A file the
// reader or its shape guard refuses gets the runner's one-line error; a file
// it reads runs through the substitute host with the plug-in linked in, to
// its end and the quitting host's shutdown, with no broken host contract, and
// its report is written. A crash, a leak, a hang, an exception other than
// ScenarioError or an error of more than one line aborts, which libFuzzer
// keeps as a crash input.
//
// What a run can make is bounded by its host: a document with room for
// kRoomForPaths paths and kRoomForSegments segments refuses further copies,
// as a host out of memory does, so the file's few thousand bytes decide the
// cost and no input costs more than a fraction of a second.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "bridge/globals.h"
#include "bridge/suites.h"
#include "host/runner/report.h"
#include "host/runner/run.h"
#include "host/runner/scenario.h"

namespace {

constexpr std::size_t kRoomForPaths = 1000;
constexpr std::size_t kRoomForSegments = 20000;

[[noreturn]] void fail(const std::string& what, std::string_view text) {
  std::fprintf(stderr, "%s\nscenario text (%zu bytes): %.*s\n", what.c_str(), text.size(),
               static_cast<int>(text.size()), text.data());
  std::abort();
}

// The next run finds the plug-in as a freshly loaded library: no globals, no
// lists, every suite slot empty. A run that ends without the plug-in's
// shutdown (the file sent none it saw) leaves its lists to free here, while
// the host still holds the block they hang from.
void unloadPlugin() {
  freeArtLists();
  gGlobals = nullptr;
  for (const SuiteImport& row : kSuiteTable) *row.slot = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  swrunner::Scenario scenario;
  try {
    scenario = swrunner::parseScenario(text);
  } catch (const swrunner::ScenarioError& error) {
    const std::string line = swrunner::describeScenarioError("fuzz.json", error);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) {
      fail("the error is not one line: " + line, text);
    }
    if (line.size() <= std::string_view("fuzz.json: ").size()) fail("the error says nothing: " + line, text);
    return 0;
  } catch (const std::exception& error) {
    fail(std::string("the reader threw something other than ScenarioError: ") + error.what(), text);
  }

  scenario.world.roomForPaths = kRoomForPaths;
  scenario.world.roomForSegments = kRoomForSegments;
  swrunner::LinkedPlugin plugin(&PluginMain);
  std::string problem;
  {
    const std::unique_ptr<swhost::Host> host = swrunner::runScenario(scenario, plugin);
    const std::string report = swrunner::reportText(swrunner::buildReport(*host));
    swrunner::quitHost(*host, plugin);
    for (const swhost::Violation& violation : host->record().violations) {
      problem += "broke a host contract: " + violation.call + ": " + violation.what + "\n";
    }
    if (report.empty() || report.back() != '\n') problem += "the report is not complete\n";
    unloadPlugin();
  }
  if (!problem.empty()) fail(problem, text);
  return 0;
}
