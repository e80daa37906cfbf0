// The host's call log reads like the vector of strings it replaces, while
// storing each distinct name once.
#include "host/call_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using swhost::CallLog;

static_assert(std::random_access_iterator<CallLog::const_iterator>);

TEST(CallLog, KeepsOrderAndRepeatsAndStoresEachNameOnce) {
  CallLog log;
  EXPECT_TRUE(log.empty());
  const std::vector<std::string> calls{"A/x", "B/y", "A/x", "C/a name longer than any short-string buffer", "B/y"};
  for (const std::string& call : calls) log.push_back(call);

  ASSERT_EQ(log.size(), calls.size());
  EXPECT_EQ(log.distinctNames(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.end()), calls);
  EXPECT_EQ(std::vector<std::string>(std::make_reverse_iterator(log.end()), std::make_reverse_iterator(log.begin())),
            std::vector<std::string>(calls.rbegin(), calls.rend()));
  EXPECT_EQ(log.front(), "A/x");
  EXPECT_EQ(log.back(), "B/y");
  EXPECT_EQ(log[3], calls[3]);
  EXPECT_EQ(log.begin()[2], "A/x");
  EXPECT_EQ(log.end() - log.begin(), 5);
  EXPECT_EQ(std::count(log.begin(), log.end(), "B/y"), 2);
  EXPECT_EQ(&log[0], &log[2]);  // one stored name
  EXPECT_THROW(static_cast<void>(log.at(5)), std::out_of_range);

  log.clear();
  EXPECT_TRUE(log.empty());
  log.push_back("B/y");
  EXPECT_EQ(log.at(0), "B/y");
  EXPECT_EQ(log.distinctNames(), 3u);
}

TEST(CallLog, EntriesAndNamesStayPutAfterManyPushes) {
  CallLog log;
  log.push_back("first/short");
  log.push_back("first/a name long enough to live on the heap, not in the string");
  const std::string* shortName = &log[0];
  const std::string* longName = &log[1];
  for (int i = 0; i < 100000; ++i) log.push_back("name " + std::to_string(i % 1000));

  ASSERT_EQ(log.size(), 100002u);
  EXPECT_EQ(log.distinctNames(), 1002u);
  EXPECT_EQ(&log[0], shortName);
  EXPECT_EQ(&log[1], longName);
  EXPECT_EQ(log[0], "first/short");
  EXPECT_EQ(log[1], "first/a name long enough to live on the heap, not in the string");
  EXPECT_EQ(log[2 + 54321], "name 321");
  EXPECT_EQ(log.back(), "name 999");

  // A copy interns on its own: a known name adds no entry to its names.
  CallLog copy = log;
  copy.push_back("name 7");
  EXPECT_EQ(copy.distinctNames(), 1002u);
  EXPECT_EQ(copy.back(), "name 7");
  EXPECT_EQ(log.size(), 100002u);
}

}  // namespace
