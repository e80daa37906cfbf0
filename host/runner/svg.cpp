// The picture of a run (svg.h): artwork y flipped to SVG's, the document
// before faint under the document after, and the latest drag feedback.
#include "host/runner/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "host/runner/float_text.h"

namespace swrunner {

namespace {

using hostapi::ArtworkPoint;

// The picture's width in pixels; strokes, dashes and text are sized in these
// pixels whatever the artwork's extent.
constexpr double kPictureWidth = 800.0;

// A point in SVG user space: artwork x, artwork y turned downwards.
struct Point {
  double x;
  double y;
};

Point toSvg(ArtworkPoint p) { return Point{p.x, -double{p.y}}; }

// The artwork point a view pixel shows, through the world's origin and zoom.
Point viewToSvg(hostapi::ViewPoint p, const swhost::World& world) {
  const double x = p.x / double{world.zoom} + world.originX;
  const double y = double{world.originY} - p.y / double{world.zoom};
  return Point{x, -y};
}

struct Bounds {
  double minX = std::numeric_limits<double>::infinity();
  double minY = std::numeric_limits<double>::infinity();
  double maxX = -std::numeric_limits<double>::infinity();
  double maxY = -std::numeric_limits<double>::infinity();

  void add(Point p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
  }
  bool empty() const { return minX > maxX; }
};

bool drawable(const swhost::Path& path) {
  for (const hostapi::PathSegment& s : path.segments) {
    for (const ArtworkPoint p : {s.anchor, s.in, s.out}) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    }
  }
  return !path.segments.empty();
}

// Coordinates as short text; -0 is written as 0.
std::string number(double value) { return floatText(static_cast<float>(value) + 0.0f); }

std::string xy(Point p) { return number(p.x) + " " + number(p.y); }

std::string escapeXml(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20) escaped += c;
    }
  }
  return escaped;
}

std::string hexColor(const hostapi::RgbColor& color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", color.red >> 8, color.green >> 8, color.blue >> 8);
  return text;
}

// The path's outline: cubic curves from each anchor's out-handle to the next
// anchor's in-handle.
std::string pathData(const swhost::Path& path) {
  const auto& s = path.segments;
  std::string d = std::string("M").append(xy(toSvg(s[0].anchor)));
  for (std::size_t i = 1; i < s.size(); ++i) {
    d += " C" + xy(toSvg(s[i - 1].out)) + " " + xy(toSvg(s[i].in)) + " " + xy(toSvg(s[i].anchor));
  }
  if (path.closed && s.size() > 1) {
    d += " C" + xy(toSvg(s.back().out)) + " " + xy(toSvg(s[0].in)) + " " + xy(toSvg(s[0].anchor)) + " Z";
  }
  return d;
}

class Picture {
 public:
  explicit Picture(const swhost::Host& host)
      : host_(host), before_(host.initialPaths()), after_(host.document().paths()) {
    for (const std::vector<swhost::Path>* paths : {&before_, &after_}) {
      for (const swhost::Path& path : *paths) {
        if (!drawable(path)) {
          ++undrawable_;
          continue;
        }
        for (const hostapi::PathSegment& s : path.segments) {
          for (const ArtworkPoint p : {s.anchor, s.in, s.out}) bounds_.add(toSvg(p));
        }
      }
    }
    for (const swhost::DrawnLine& line : host.record().drawing) {
      bounds_.add(viewToSvg(line.from, host.world()));
      bounds_.add(viewToSvg(line.to, host.world()));
    }
    if (bounds_.empty()) bounds_ = Bounds{-100, -100, 100, 100};
    const double span = std::max({bounds_.maxX - bounds_.minX, bounds_.maxY - bounds_.minY, 1e-3});
    const double margin = span * 0.06;
    left_ = bounds_.minX - margin;
    top_ = bounds_.minY - margin;
    width_ = bounds_.maxX - bounds_.minX + 2 * margin;
    height_ = bounds_.maxY - bounds_.minY + 2 * margin;
    pixel_ = width_ / kPictureWidth;
  }

  std::string render() const {
    const double legendHeight = 30 * pixel_;
    const double totalHeight = height_ + legendHeight;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kPictureWidth) + "\" height=\"" +
           number(std::ceil(kPictureWidth * totalHeight / width_)) + "\" viewBox=\"" + number(left_) + " " +
           number(top_) + " " + number(width_) + " " + number(totalHeight) + "\">\n";
    svg += "  <rect x=\"" + number(left_) + "\" y=\"" + number(top_) + "\" width=\"" + number(width_) + "\" height=\"" +
           number(totalHeight) + "\" fill=\"white\"/>\n";
    svg += group("before", before_, "#9aa0a6", 1.5, "0.55");
    svg += group("after", after_, "#1f4e9c", 2.0, "1");
    svg += feedback();
    svg += legend(top_ + height_);
    return svg + "</svg>\n";
  }

 private:
  std::string group(const char* id, const std::vector<swhost::Path>& paths, const char* colour, double strokePixels,
                    const char* opacity) const {
    std::string text = "  <g id=\"" + std::string(id) + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"" +
                       number(strokePixels * pixel_) + "\" stroke-linejoin=\"round\" opacity=\"" + opacity + "\">\n";
    for (const swhost::Path& path : paths) {
      if (!drawable(path)) continue;
      text += "    <path d=\"" + pathData(path) + "\"><title>" + escapeXml(path.name) + "</title></path>\n";
    }
    return text + "  </g>\n";
  }

  std::string feedback() const {
    std::string text = "  <g id=\"feedback\" fill=\"none\" stroke-width=\"" + number(1.5 * pixel_) + "\">\n";
    for (const swhost::DrawnLine& line : host_.record().drawing) {
      const Point from = viewToSvg(line.from, host_.world());
      const Point to = viewToSvg(line.to, host_.world());
      text += "    <line x1=\"" + number(from.x) + "\" y1=\"" + number(from.y) + "\" x2=\"" + number(to.x) +
              "\" y2=\"" + number(to.y) + "\" stroke=\"" + hexColor(line.color) + "\"" + dashAttribute(line.dash) +
              "/>\n";
    }
    return text + "  </g>\n";
  }

  // The dash lengths are view pixels on the host's screen, shown here as
  // pixels of the picture.
  std::string dashAttribute(const std::vector<float>& dash) const {
    std::string lengths;
    for (const float length : dash) {
      if (!(length > 0.0f) || !std::isfinite(length)) return "";
      if (!lengths.empty()) lengths += ' ';
      lengths += number(length * pixel_);
    }
    return lengths.empty() ? "" : " stroke-dasharray=\"" + lengths + "\"";
  }

  std::string legend(double y) const {
    const double row = y + 18 * pixel_;
    double x = left_ + 10 * pixel_;
    std::string text = "  <g id=\"legend\" font-family=\"sans-serif\" font-size=\"" + number(12 * pixel_) + "\">\n";
    const auto entry = [&](const std::string& colour, const std::string& extra, const std::string& label) {
      text += "    <line x1=\"" + number(x) + "\" y1=\"" + number(row - 4 * pixel_) + "\" x2=\"" +
              number(x + 24 * pixel_) + "\" y2=\"" + number(row - 4 * pixel_) + "\" stroke=\"" + colour +
              "\" stroke-width=\"" + number(2 * pixel_) + "\"" + extra + "/>\n";
      text +=
          "    <text x=\"" + number(x + 30 * pixel_) + "\" y=\"" + number(row) + "\">" + escapeXml(label) + "</text>\n";
      x += (42 + 7.0 * static_cast<double>(label.size())) * pixel_;
    };
    entry("#9aa0a6", " opacity=\"0.55\"", "before");
    entry("#1f4e9c", "", "after");
    const std::vector<swhost::DrawnLine>& drawing = host_.record().drawing;
    for (std::size_t i = 0; i < drawing.size(); ++i) {
      const char* role = drawing.size() == 2 ? (i == 0 ? "drag line" : "axis guide") : "feedback line";
      entry(hexColor(drawing[i].color), dashAttribute(drawing[i].dash), role);
    }
    if (drawing.empty()) entry("#ffffff", "", "(no drag feedback drawn)");
    if (undrawable_ > 0) entry("#ffffff", "", std::to_string(undrawable_) + " path(s) with non-finite points left out");
    return text + "  </g>\n";
  }

  const swhost::Host& host_;
  std::vector<swhost::Path> before_;
  std::vector<swhost::Path> after_;
  std::size_t undrawable_ = 0;
  Bounds bounds_;
  double left_ = 0;
  double top_ = 0;
  double width_ = 0;
  double height_ = 0;
  double pixel_ = 1;  // view-box units per picture pixel
};

}  // namespace

std::string renderSvg(const swhost::Host& host) { return Picture(host).render(); }

}  // namespace swrunner
