// The call log (call_log.h): each distinct call's name kept once and every
// call recorded as its number, so that a run of millions of calls stays small.
#include "host/call_log.h"

#include <limits>
#include <stdexcept>
#include <utility>

namespace swhost {

CallLog::CallLog(const CallLog& other) : names_(other.names_), entries_(other.entries_) {
  for (std::size_t i = 0; i < names_.size(); ++i) index_.emplace(names_[i], static_cast<std::uint32_t>(i));
}

CallLog& CallLog::operator=(const CallLog& other) {
  if (this != &other) *this = CallLog(other);
  return *this;
}

void CallLog::push_back(std::string call) {
  auto found = index_.find(std::string_view(call));
  if (found == index_.end()) {
    if (names_.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("call log: too many names");
    const auto id = static_cast<std::uint32_t>(names_.size());
    names_.push_back(std::move(call));
    found = index_.emplace(std::string_view(names_.back()), id).first;
  }
  entries_.push_back(found->second);
}

}  // namespace swhost
