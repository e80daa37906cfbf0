// slantwarper-host's command line (cli.h): the options and the help text, the
// plug-in found when none is named, the demo or a scenario run with strict
// mode off, the report and picture written, and the exit status.
#include "host/runner/cli.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "host/runner/demo.h"
#include "host/runner/plugin_module.h"
#include "host/runner/report.h"
#include "host/runner/run.h"
#include "host/runner/scenario.h"
#include "host/runner/svg.h"

// Where the build puts the plug-in, relative to the runner's directory.
#ifndef SW_PLUGIN_FROM_RUNNER
#define SW_PLUGIN_FROM_RUNNER ""
#endif

namespace swrunner {

namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram = "slantwarper-host";
constexpr const char* kDemoPicture = "out/demo.svg";

constexpr const char* kDescription =
    "Runs a scenario against the slantWarper plug-in in the substitute host and reports everything the host saw.\n"
    "Without SCENARIO it runs the built-in demo: three curved shapes, all selected, dragged once plainly and once\n"
    "with Shift past 200 units so that they mirror; it prints a summary and writes out/demo.svg (relative to the\n"
    "current directory) unless --svg or --no-svg says otherwise.\n";

constexpr const char* kFooter =
    "Scenario files (JSON): {\"view\": {\"origin\": [x, y], \"zoom\": z}, \"host\": {\"tools\": [..], \"menuGroups\": "
    "[..],\n"
    "\"iconType\": n}, \"paths\": [{\"name\", \"selected\", \"closed\", \"segments\": [[x, y] or [ax, ay, ix, iy, ox, "
    "oy],\n"
    "each optionally followed by the 4 host bytes as an integer 0..4294967295]}], \"faults\": [{\"call\", \"nth\", "
    "\"error\"}],\n"
    "\"events\": [{\"caller\", \"selector\", \"point\": [x, y], \"shift\": true/false, \"item\": menu item text}]}.\n"
    "Coordinates are 32-bit floats: numbers, or \"NaN\", \"Infinity\", \"-Infinity\". Mouse events need a point.\n"
    "Between messages, \"events\" may hold what a person does to the host without the plug-in being told (the web\n"
    "page records these): {\"host\": \"select\", \"paths\": [0, 2]} selects exactly the paths at those places in "
    "paint\n"
    "order (places past the last path name none), {\"host\": \"view\", \"origin\": [x, y], \"zoom\": z} pans and\n"
    "zooms view 0, and {\"host\": \"undo\"} and {\"host\": \"redo\"} undo and redo a step of the document's history:\n"
    "each press, drag and release the plug-in makes is one step (a click it undid itself is none), and the host keeps\n"
    "the latest 100 steps within 256 MiB; an undo during a press takes back what the press did so far, for good;\n"
    "with nothing to undo or redo they change nothing. Host actions apply in their place, are not messages and\n"
    "have no line in the report's results.\n"
    "A fault fails the named call (\"<suite>/<operation>\" as in the report's calls) on its nth call, or on every\n"
    "call without nth, with an error given as an integer or as four characters (\"!ico\").\n"
    "A bad file (not JSON, a wrong type, an unknown or repeated field, a missing point, a segment of the wrong size,\n"
    "more than 32767 segments in a path, nesting deeper than 8 levels...) is refused as a whole with one line on\n"
    "stderr, \"FILE: PLACE: WHAT\" (PLACE such as events[3].point, or the line and column of a syntax error), and\n"
    "nothing of it runs.\n"
    "\n"
    "The report holds results, the final paths, calls, the latest drawing, invalidated rectangles, menu items and\n"
    "groups, tools, icons, cursors, alerts, undos, suites still held, live blocks, strings and matching-art answers,\n"
    "whether the annotator is active, violations, and whether the host keeps a globals block for the plug-in.\n"
    "A successful \"SP Access\"/\"Unload\" unloads the library; the next message loads it again. At the end a\n"
    "plug-in left started is shut down, as a quitting host does (after the report, and not in it).\n"
    "With --json - the demo's summary goes to stderr.\n"
    "\n"
    "The plug-in defaults to slantWarper.so (slantWarper.aip on Windows) in the runner's own directory, then to the\n"
    "module the build put beside it (" SW_PLUGIN_FROM_RUNNER
    " from the runner's directory).\n"
    "The report's floats are the shortest text that reads back to the same 32-bit value; the Linux and Windows\n"
    "runners write the same bytes for the same scenario.\n"
    "\n"
    "Exit status:\n"
    "  0  the run completed\n"
    "  1  the plug-in cannot be loaded, or an output cannot be written\n"
    "  2  a bad scenario file or command line (nothing is run)\n"
    "  3  the host recorded contract violations, or an exception escaped PluginMain";

struct Options {
  std::string scenario;
  std::string plugin;
  std::string json;
  std::string svg;
  bool noSvg = false;
};

// The plug-in to load when none is named: one installed beside the runner,
// else the one in the build tree.
std::optional<fs::path> defaultPlugin(std::vector<fs::path>& tried) {
  const fs::path directory = executablePath().parent_path();
  tried = {directory / pluginFileName()};
  if (*SW_PLUGIN_FROM_RUNNER != '\0') tried.push_back((directory / SW_PLUGIN_FROM_RUNNER).lexically_normal());
  for (const fs::path& candidate : tried) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate;
  }
  return std::nullopt;
}

// Writes `text` byte for byte ("-": to `out`), making the file's directory
// if need be. Returns false after saying why.
bool writeOutput(const std::string& target, const std::string& text, std::ostream& out, std::ostream& err) {
  if (target == "-") {
    out << text << std::flush;
    if (out) return true;
    err << kProgram << ": cannot write to standard output\n";
    return false;
  }
  const fs::path path(target);
  if (path.has_parent_path()) {
    std::error_code ignored;  // a directory that cannot be made shows as a file that cannot be written
    fs::create_directories(path.parent_path(), ignored);
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (file) return true;
  err << kProgram << ": cannot write " << target << "\n";
  return false;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app(kDescription, kProgram);
  app.footer(kFooter);
  // Arguments starting with "/" are paths, on Windows too.
  app.allow_windows_style_options(false);
  Options options;
  app.add_option("SCENARIO", options.scenario, "scenario file to run (default: the built-in demo)")->type_name("FILE");
  app.add_option("--plugin", options.plugin, "the plug-in library to load (default: see below)")->type_name("PATH");
  app.add_option("--json", options.json, "write the report to this file; - for standard output")
      ->type_name("REPORT.json");
  app.add_option("--svg", options.svg, "write a picture of the run (before, after, drag feedback) to this file")
      ->type_name("PICTURE.svg");
  app.add_flag("--no-svg", options.noSvg, "the demo writes no picture");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help() << std::flush;
    return kExitCompleted;
  } catch (const CLI::ParseError& error) {
    err << kProgram << ": " << error.what() << " (see --help)\n";
    return kExitBadInput;
  }
  if (options.noSvg && !options.svg.empty()) {
    err << kProgram << ": --svg and --no-svg contradict each other\n";
    return kExitBadInput;
  }

  const bool demo = options.scenario.empty();
  Scenario scenario;
  if (demo) {
    scenario = demoScenario();
  } else {
    try {
      scenario = loadScenarioFile(options.scenario);
    } catch (const ScenarioError& error) {
      err << describeScenarioError(options.scenario, error) << "\n";
      return kExitBadInput;
    }
  }

  fs::path plugin = options.plugin;
  if (plugin.empty()) {
    std::vector<fs::path> tried;
    const std::optional<fs::path> found = defaultPlugin(tried);
    if (!found) {
      err << kProgram << ": no plug-in found (looked for";
      for (const fs::path& path : tried) err << " " << path.string();
      err << "); name one with --plugin\n";
      return kExitCannotLoadOrWrite;
    }
    plugin = *found;
  }

  // Strict mode off: the report and the exit status tell of every broken
  // contract, and the run goes on past them.
  const swhost::StrictModeScope lenient(nullptr);
  std::unique_ptr<PluginModule> module;
  std::unique_ptr<swhost::Host> host;
  try {
    module = openPluginLibrary(plugin);
    host = runScenario(scenario, *module);
  } catch (const ModuleError& error) {
    err << kProgram << ": " << plugin.string() << ": " << error.what() << "\n";
    return kExitCannotLoadOrWrite;
  }

  bool written = true;
  if (!options.json.empty()) written = writeOutput(options.json, reportText(buildReport(*host)), out, err) && written;
  std::string picture = options.svg;
  if (demo && picture.empty() && !options.noSvg) picture = kDemoPicture;
  if (!picture.empty()) written = writeOutput(picture, renderSvg(*host), out, err) && written;
  if (demo) {
    std::ostream& summary = options.json == "-" ? err : out;
    summary << "slantWarper demo\n" << runSummary(scenario, *host);
    if (!picture.empty()) summary << "Picture: " << picture << "\n";
    summary << std::flush;
  }
  const int status = exitStatusOf(*host);
  if (status == kExitViolations) {
    const swhost::Violation& first = host->record().violations.front();
    err << kProgram << ": " << host->record().violations.size() << " contract violation(s), the first: " << first.call
        << ": " << first.what << "\n";
  }
  quitHost(*host, *module);
  return written ? status : kExitCannotLoadOrWrite;
}

}  // namespace swrunner
