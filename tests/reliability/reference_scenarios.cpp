#include "tests/reliability/reference_scenarios.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace swrel {

std::vector<ReferenceScenario> loadReferenceScenarios() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(SW_SOURCE_DIR) / "scenarios")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("reference_", 0) == 0 && entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<ReferenceScenario> scenarios;
  for (const auto& file : files) {
    scenarios.push_back(ReferenceScenario{file.filename().string(), swrunner::loadScenarioFile(file)});
  }
  return scenarios;
}

void reportFigure(const std::string& file, const std::string& line) {
  std::cout << line << "\n";
  const std::filesystem::path directory(SW_FIGURES_DIR);
  std::filesystem::create_directories(directory);
  std::ofstream(directory / file) << line << "\n";
}

}  // namespace swrel
