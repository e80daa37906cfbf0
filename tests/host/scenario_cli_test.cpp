// The command line, in-process: help, refused arguments and refused files
// give their exit status and one line, and nothing runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/runner/cli.h"
#include "host/runner/run.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome run(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "slantwarper-host");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  std::ostringstream out;
  std::ostringstream err;
  const int status = swrunner::runCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

bool oneLine(const std::string& text) { return !text.empty() && text.find('\n') == text.size() - 1; }

class TempFile {
 public:
  explicit TempFile(const std::string& content)
      : path_(std::filesystem::temp_directory_path() /
              ("sw_cli_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".json")) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(ScenarioCli, HelpDescribesFilesErrorsAndExitStatuses) {
  const Outcome help = run({"--help"});
  EXPECT_EQ(help.status, swrunner::kExitCompleted);
  for (const char* part : {"--plugin", "--json", "--svg", "FILE: PLACE: WHAT", "Exit status", "3  the host recorded",
                           "out/demo.svg", "\"NaN\"", "{\"host\": \"undo\"}", "{\"host\": \"redo\"}", "100 steps"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
}

TEST(ScenarioCli, BadArgumentsAreRefusedWithStatusTwo) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--bogus"}, {"a.json", "b.json"}, {"--json"}, {"--svg", "x.svg", "--no-svg"}}) {
    const Outcome outcome = run(arguments);
    EXPECT_EQ(outcome.status, swrunner::kExitBadInput) << arguments[0];
    EXPECT_TRUE(oneLine(outcome.err)) << outcome.err;
  }
}

TEST(ScenarioCli, ABadFileGetsOneLineNamingItAndNothingRuns) {
  const TempFile bad(R"({"events": [{"caller": "AI Tool", "selector": "AI Mouse Drag"}]})");
  const std::string report = bad.path() + ".report";
  // The plug-in named does not exist: reaching it would give status 1.
  const Outcome outcome = run({bad.path(), "--json", report, "--plugin", "/nonexistent/plugin.so"});
  EXPECT_EQ(outcome.status, swrunner::kExitBadInput);
  EXPECT_EQ(outcome.err, bad.path() + ": events[0].point: expected [x, y]: a mouse event needs the cursor's point\n");
  EXPECT_TRUE(outcome.out.empty());
  EXPECT_FALSE(std::filesystem::exists(report));
}

TEST(ScenarioCli, AMissingFileIsABadScenario) {
  const Outcome outcome = run({"/nonexistent/dir/s.json"});
  EXPECT_EQ(outcome.status, swrunner::kExitBadInput);
  EXPECT_EQ(outcome.err, "/nonexistent/dir/s.json: cannot be opened for reading\n");
}

TEST(ScenarioCli, APluginThatCannotBeLoadedGivesStatusOne) {
  const TempFile good(R"({"events": []})");
  const Outcome outcome = run({good.path(), "--plugin", "/nonexistent/plugin.so"});
  EXPECT_EQ(outcome.status, swrunner::kExitCannotLoadOrWrite);
  EXPECT_TRUE(oneLine(outcome.err)) << outcome.err;
  EXPECT_NE(outcome.err.find("/nonexistent/plugin.so"), std::string::npos);
}

}  // namespace
