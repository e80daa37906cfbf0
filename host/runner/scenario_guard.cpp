// The checks on a scenario's text before it is parsed (scenario_guard.h), made
// on the parser's token stream, and the line and column of a syntax error.
#include "host/runner/scenario_guard.h"

#include <algorithm>
#include <optional>
#include <set>

#include "host/runner/scenario.h"

namespace swrunner {

namespace {

// "line L, column C" of the byte the parser stopped at; `position` counts
// the bytes read, so the offending byte is the one before it.
std::string lineAndColumn(std::string_view text, std::size_t position) {
  const std::size_t at = std::min(position > 0 ? position - 1 : 0, text.size());
  const std::string_view before = text.substr(0, at);
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lineStart = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
  return "line " + std::to_string(line) + ", column " + std::to_string(at - lineStart + 1);
}

// The parser's explanation without its own prefixes ("[json.exception...] "
// and "parse error at line L, column C: "), which the caller replaces.
std::string parserExplanation(const std::string& message) {
  std::string text = message;
  if (const std::size_t tag = text.find("] "); text.rfind("[json.exception", 0) == 0 && tag != std::string::npos) {
    text.erase(0, tag + 2);
  }
  if (text.rfind("parse error", 0) == 0) {
    if (const std::size_t colon = text.find(": "); colon != std::string::npos) text.erase(0, colon + 2);
  }
  return text;
}

class Guard final : public nlohmann::json_sax<ScenarioJson> {
 public:
  explicit Guard(std::string_view text) : text_(text) {}

  const std::optional<ScenarioError>& error() const { return error_; }

  bool null() override { return value(); }
  bool boolean(bool) override { return value(); }
  bool number_integer(number_integer_t) override { return value(); }
  bool number_unsigned(number_unsigned_t) override { return value(); }
  bool number_float(number_float_t, const string_t&) override { return value(); }
  bool string(string_t&) override { return value(); }
  bool binary(binary_t&) override { return value(); }

  bool start_object(std::size_t) override { return open(false); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(true); }
  bool end_array() override { return close(); }

  bool key(string_t& name) override {
    Frame& frame = frames_.back();
    if (!frame.keys.insert(name).second)
      return refuse(placeOf(frames_.size() - 1), "the field \"" + name + "\" appears twice");
    frame.key = name;
    return true;
  }

  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& problem) override {
    error_.emplace(lineAndColumn(text_, position), parserExplanation(problem.what()));
    return false;
  }

 private:
  struct Frame {
    bool array = false;
    std::size_t count = 0;  // elements seen so far (arrays)
    std::string key;        // the field being read (objects)
    std::set<std::string> keys;
  };

  // Counts one more element of the enclosing array.
  bool value() {
    if (frames_.empty() || !frames_.back().array) return true;
    if (++frames_.back().count <= kMaxArrayLength) return true;
    const std::string limit = std::to_string(kMaxArrayLength);
    const std::size_t depth = frames_.size();
    const bool segments = depth >= 2 && !frames_[depth - 2].array && frames_[depth - 2].key == "segments";
    if (segments) return refuse(placeOf(depth - 1), "more than " + limit + " segments; a path holds at most " + limit);
    return refuse(placeOf(depth - 1), "more than " + limit + " elements");
  }

  bool open(bool array) {
    if (!value()) return false;
    if (frames_.size() >= kMaxNesting) {
      return refuse(place(), "nested deeper than " + std::to_string(kMaxNesting) + " levels");
    }
    frames_.push_back(Frame{array, 0, {}, {}});
    return true;
  }

  bool close() {
    frames_.pop_back();
    return true;
  }

  // The place of the value the first `depth` frames lead to, as a scenario
  // place ("events[3].point"); all frames: where the parser is now.
  std::string placeOf(std::size_t depth) const {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) {
      const Frame& frame = frames_[i];
      if (frame.array) {
        text.append("[").append(std::to_string(frame.count > 0 ? frame.count - 1 : 0)).append("]");
      } else if (!frame.keys.empty()) {
        if (!text.empty()) text += ".";
        text += frame.key;
      }
    }
    return text;
  }
  std::string place() const { return placeOf(frames_.size()); }

  bool refuse(std::string where, const std::string& what) {
    error_.emplace(std::move(where), what);
    return false;
  }

  std::string_view text_;
  std::vector<Frame> frames_;
  std::optional<ScenarioError> error_;
};

}  // namespace

void guardScenarioText(std::string_view text) {
  Guard guard(text);
  const bool accepted = ScenarioJson::sax_parse(text, &guard, nlohmann::json::input_format_t::json, true, false);
  if (guard.error()) throw *guard.error();
  if (!accepted) throw ScenarioError("", "not a JSON document");
}

}  // namespace swrunner
