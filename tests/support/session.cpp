#include "tests/support/session.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "bridge/globals.h"

namespace swtest {

namespace {

// The plug-in is linked into the test binary, so its module state outlives a
// test whose host is gone: a test that ends without a shutdown leaves the
// record pointer naming the block that host freed. A library the host loads
// anew starts from nothing; each test starts the same way, in whatever
// order and process the tests run.
class FreshPluginState : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { gGlobals = nullptr; }
};

const bool kFreshPluginState = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshPluginState);
  return true;
}();

}  // namespace

swhost::Path cornerPath(const std::string& name, std::vector<hostapi::ArtworkPoint> points, bool selected) {
  swhost::Path path;
  path.name = name;
  path.selected = selected;
  for (const hostapi::ArtworkPoint& p : points) path.segments.push_back(hostapi::PathSegment{p, p, p, {0, 0, 0, 0}});
  return path;
}

Session::Session(swhost::World world) : host_(std::move(world)) { host_.attach(&PluginMain); }

Session::~Session() {
  if (host_.pluginGlobals() != nullptr) shutdown();
}

hostapi::HostError Session::send(const std::string& caller, const std::string& selector) {
  return host_.deliver(swhost::Event{caller, selector, std::nullopt, std::nullopt, std::nullopt}).result;
}

hostapi::HostError Session::mouse(const std::string& selector, float x, float y) {
  return host_.deliver(swhost::Event{"AI Tool", selector, hostapi::ArtworkPoint{x, y}, std::nullopt, std::nullopt})
      .result;
}

hostapi::HostError Session::mouse(const std::string& selector, float x, float y, bool shift) {
  return host_.deliver(swhost::Event{"AI Tool", selector, hostapi::ArtworkPoint{x, y}, shift, std::nullopt}).result;
}

hostapi::HostError Session::menu(const std::string& itemText) {
  return host_.deliver(swhost::Event{"AI Menu", "AI Go", std::nullopt, std::nullopt, itemText}).result;
}

std::vector<std::string> Session::callsSince(std::size_t first) const {
  const auto& calls = host_.record().calls;
  return {calls.begin() + static_cast<std::ptrdiff_t>(std::min(first, calls.size())), calls.end()};
}

std::size_t countCalls(const std::vector<std::string>& calls, const std::string& call) {
  return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

std::size_t countCalls(const swhost::CallLog& calls, const std::string& call) {
  return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

}  // namespace swtest
