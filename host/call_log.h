// The host's call log: every "<suite>/<operation>" the plug-in called, in
// order, read like a vector of strings.
//
// A session that stays open (the web page keeps one host for as long as the
// tab lives) logs millions of calls over a few hundred distinct names. Each
// name is therefore stored once and the log holds a 4-byte index per call,
// so a logged call costs 4 bytes instead of a heap string.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace swhost {

class CallLog {
 public:
  // A random-access iterator over the log; dereferences to the interned
  // name, which lives as long as the log (clear() included).
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using iterator_concept = std::random_access_iterator_tag;
    using value_type = std::string;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string*;
    using reference = const std::string&;

    const_iterator() = default;

    reference operator*() const { return (*names_)[*at_]; }
    pointer operator->() const { return &**this; }
    reference operator[](difference_type n) const { return *(*this + n); }

    const_iterator& operator++() {
      ++at_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator old = *this;
      ++at_;
      return old;
    }
    const_iterator& operator--() {
      --at_;
      return *this;
    }
    const_iterator operator--(int) {
      const_iterator old = *this;
      --at_;
      return old;
    }
    const_iterator& operator+=(difference_type n) {
      at_ += n;
      return *this;
    }
    const_iterator& operator-=(difference_type n) {
      at_ -= n;
      return *this;
    }
    friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
    friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
    friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) { return a.at_ - b.at_; }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.at_ == b.at_; }
    friend std::strong_ordering operator<=>(const const_iterator& a, const const_iterator& b) {
      return a.at_ <=> b.at_;
    }

   private:
    friend class CallLog;
    const_iterator(const std::deque<std::string>* names, const std::uint32_t* at) : names_(names), at_(at) {}

    const std::deque<std::string>* names_ = nullptr;
    const std::uint32_t* at_ = nullptr;
  };
  using iterator = const_iterator;
  using value_type = std::string;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using const_reference = const std::string&;
  using reference = const std::string&;

  CallLog() = default;
  // The lookup map points into names_, so a copy rebuilds it.
  CallLog(const CallLog& other);
  CallLog& operator=(const CallLog& other);
  CallLog(CallLog&&) = default;
  CallLog& operator=(CallLog&&) = default;

  // Appends a call; a name seen before costs no allocation beyond the
  // index vector's growth.
  void push_back(std::string call);
  // Empties the log. Names already interned are kept, so references handed
  // out earlier stay valid.
  void clear() { entries_.clear(); }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const std::string& operator[](std::size_t i) const { return names_[entries_[i]]; }
  // Throws std::out_of_range past the end, as std::vector::at does.
  const std::string& at(std::size_t i) const { return names_[entries_.at(i)]; }
  const std::string& front() const { return names_[entries_.front()]; }
  const std::string& back() const { return names_[entries_.back()]; }

  const_iterator begin() const { return {&names_, entries_.data()}; }
  const_iterator end() const { return {&names_, entries_.data() + entries_.size()}; }
  const_iterator cbegin() const { return begin(); }
  const_iterator cend() const { return end(); }

  // The number of distinct names interned so far.
  std::size_t distinctNames() const { return names_.size(); }

 private:
  std::deque<std::string> names_;                              // a deque: names never move once interned
  std::unordered_map<std::string_view, std::uint32_t> index_;  // views into names_
  std::vector<std::uint32_t> entries_;
};

}  // namespace swhost
