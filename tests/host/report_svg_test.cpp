// The SVG picture: curves from the right handles, feedback mapped back from
// view pixels, and a view box that holds everything drawn.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "host/runner/plugin_module.h"
#include "host/runner/run.h"
#include "host/runner/scenario.h"
#include "host/runner/svg.h"

namespace {

// A host that ran `scenarioText` (no events) with these drawn lines recorded
// as the latest feedback.
std::unique_ptr<swhost::Host> hostWith(const std::string& scenarioText, std::vector<swhost::DrawnLine> drawing = {}) {
  swrunner::LinkedPlugin plugin(&PluginMain);
  auto host = swrunner::runScenario(swrunner::parseScenario(scenarioText), plugin);
  host->record().drawing = std::move(drawing);
  return host;
}

std::vector<double> numbersIn(const std::string& text) {
  std::vector<double> numbers;
  std::istringstream in(text);
  double value = 0;
  while (in >> value) numbers.push_back(value);
  return numbers;
}

TEST(Svg, CurvesRunFromEachOutHandleToTheNextInHandleAndClose) {
  const auto host = hostWith(R"({"paths": [{"name": "lens", "closed": true, "segments": [
      [0, 0, -1, -2, 1, 2], [10, 0, 9, 3, 11, -3]]}]})");
  const std::string svg = swrunner::renderSvg(*host);
  // y is flipped: artwork y = 2 is drawn at -2.
  const std::string lens = "M0 0 C1 -2 9 -3 10 0 C11 3 -1 2 0 0 Z";
  const std::size_t before = svg.find("<g id=\"before\"");
  const std::size_t after = svg.find("<g id=\"after\"");
  ASSERT_NE(before, std::string::npos);
  ASSERT_NE(after, std::string::npos);
  EXPECT_NE(svg.find(lens, before), std::string::npos) << svg;
  EXPECT_NE(svg.find(lens, after), std::string::npos);
  EXPECT_NE(svg.find("<title>lens</title>"), std::string::npos);
}

TEST(Svg, FeedbackIsMappedBackThroughOriginAndZoom) {
  swhost::DrawnLine drag{{0xFFFF, 0, 0}, {}, {0, 0}, {20, 10}};
  swhost::DrawnLine guide{{0x3333, 0x9999, 0xFFFF}, {4.0f}, {-40, 4}, {60, 4}};
  const auto host = hostWith(R"({"view": {"origin": [100, 50], "zoom": 2}})", {drag, guide});
  const std::string svg = swrunner::renderSvg(*host);
  // Pixel (20, 10) shows artwork (100 + 20/2, 50 - 10/2) = (110, 45).
  EXPECT_NE(svg.find(R"(x1="100" y1="-50" x2="110" y2="-45" stroke="#ff0000")"), std::string::npos) << svg;
  EXPECT_NE(svg.find(R"(x1="80" y1="-48" x2="130" y2="-48" stroke="#3399ff" stroke-dasharray=")"), std::string::npos);
  EXPECT_NE(svg.find("drag line"), std::string::npos);
  EXPECT_NE(svg.find("axis guide"), std::string::npos);
}

TEST(Svg, TheViewBoxHoldsEveryPointDrawn) {
  swhost::DrawnLine far{{0xFFFF, 0, 0}, {}, {-500, -500}, {0, 0}};
  const auto host = hostWith(R"({"paths": [{"segments": [[0, 0, 0, 0, 1000, 250], [100, 100]]},
                                            {"segments": [[3, 4, "NaN", 0, 0, 0]]}]})",
                             {far});
  const std::string svg = swrunner::renderSvg(*host);
  std::smatch match;
  ASSERT_TRUE(std::regex_search(svg, match, std::regex("viewBox=\"([^\"]*)\"")));
  const std::vector<double> box = numbersIn(match[1]);
  ASSERT_EQ(box.size(), 4u);
  const auto inside = [&](double x, double y) {
    return x > box[0] && x < box[0] + box[2] && y > box[1] && y < box[1] + box[3];
  };
  EXPECT_TRUE(inside(1000, -250));  // a handle
  EXPECT_TRUE(inside(100, -100));
  EXPECT_TRUE(inside(-500, -500));  // the feedback's far end: pixel (-500, -500) at zoom 1
  // The path with a NaN cannot be drawn; it is left out, and said so.
  EXPECT_EQ(svg.find("NaN"), std::string::npos);
  EXPECT_NE(svg.find("non-finite points left out"), std::string::npos);
}

TEST(Svg, NamesAreEscaped) {
  const auto host = hostWith(R"({"paths": [{"name": "a<b>&\"c\"", "segments": [[0, 0], [1, 1]]}]})");
  const std::string svg = swrunner::renderSvg(*host);
  EXPECT_NE(svg.find("<title>a&lt;b&gt;&amp;&quot;c&quot;</title>"), std::string::npos);
}

}  // namespace
