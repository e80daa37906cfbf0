// The shared about submenu, this plug-in's item in it, and the about text.
#include <gtest/gtest.h>

#include <algorithm>

#include "bridge/globals.h"
#include "tests/support/session.h"

namespace {

using swtest::countCalls;
using swtest::Session;

constexpr const char* kAddItem = "AI Menu Suite/add menu item";
constexpr const char* kAddGroup = "AI Menu Suite/add menu group as submenu";

swhost::World withGroups(std::vector<std::string> groups) {
  swhost::World world;
  world.menuGroups = std::move(groups);
  return world;
}

std::vector<std::string> menuCalls(const swhost::CallLog& calls) {
  std::vector<std::string> result;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(result),
               [](const std::string& call) { return call == kAddItem || call == kAddGroup; });
  return result;
}

TEST(AboutMenu, TheFirstPlugInCreatesTheSharedSubmenu) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(menuCalls(session.record().calls), (std::vector<std::string>{kAddItem, kAddGroup, kAddItem}));
  const auto& items = session.record().menuItems;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].group, "About");
  EXPECT_EQ(items[0].text, "About p.k plug-ins");
  EXPECT_EQ(items[1].group, "AboutPKPlugIns");
  EXPECT_EQ(items[1].text, "slantWarper...");
  for (const auto& item : items) {  // added without an item name, with the default options
    EXPECT_FALSE(item.name.has_value()) << item.text;
    EXPECT_EQ(item.options, 0) << item.text;
  }
  const auto& group = session.record().menuGroups.back();
  EXPECT_EQ(group.name, "AboutPKPlugIns");
  EXPECT_EQ(group.options, 1);
  ASSERT_TRUE(group.parentItem.has_value());
  EXPECT_EQ(*group.parentItem, 0u);
  EXPECT_NE(gGlobals->aboutMenuItem, nullptr);
  EXPECT_EQ(session.host().liveStrings(), 0u);
}

TEST(AboutMenu, ALaterPlugInOnlyAddsItsItem) {
  Session session(withGroups({"About", "AboutPKPlugIns"}));
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(menuCalls(session.record().calls), (std::vector<std::string>{kAddItem}));
  ASSERT_EQ(session.record().menuItems.size(), 1u);
  EXPECT_EQ(session.record().menuItems[0].group, "AboutPKPlugIns");
}

TEST(AboutMenu, AGroupNamedInAnotherCaseDoesNotCount) {
  Session session(withGroups({"About", "aboutpkplugins", "ABOUTPKPLUGINS", "AboutPKPlugIns "}));
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(menuCalls(session.record().calls), (std::vector<std::string>{kAddItem, kAddGroup, kAddItem}));
}

TEST(AboutMenu, TheSearchStopsAtTheFirstMatchingGroup) {
  Session session(withGroups({"Edit", "AboutPKPlugIns", "About", "AboutPKPlugIns", "Window"}));
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(countCalls(session.record().calls, "AI Menu Suite/nth menu group"), 2u);
  EXPECT_EQ(countCalls(session.record().calls, "AI Menu Suite/menu group name"), 2u);
}

TEST(AboutMenu, ChoosingTheItemShowsTheAboutText) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(session.menu("slantWarper..."), 0);
  const auto& alerts = session.record().alerts;
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(std::count(alerts[0].begin(), alerts[0].end(), '\r'), 2);
  EXPECT_EQ(alerts[0].find('\n'), std::string::npos);
  EXPECT_EQ(alerts[0].rfind("slantWarper 0.1b\r", 0), 0u);
  EXPECT_NE(alerts[0].back(), '\r');
}

TEST(AboutMenu, OtherItemsShowNothing) {
  Session session;
  ASSERT_EQ(session.startup(), 0);
  EXPECT_EQ(session.menu("About p.k plug-ins"), 0);
  EXPECT_EQ(session.menu("No such item"), 0);
  EXPECT_TRUE(session.record().alerts.empty());
}

TEST(AboutMenu, AFailedAcquireShowsNothingButStillReleases) {
  swhost::World world;
  // The fourth acquire of the ADM Basic Suite: two at startup, one for the
  // cursor, then the menu message.
  world.faults = {{"SP Basic Suite/acquire suite ADM Basic Suite", 4, 2468}};
  Session session(world);
  ASSERT_EQ(session.startup(), 0);
  ASSERT_EQ(session.send("AI Tool", "AI Track Cursor"), 0);
  EXPECT_EQ(session.menu("slantWarper..."), 2468);
  EXPECT_TRUE(session.record().alerts.empty());
  for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;
}

// Each menu and string operation the about item needs, failing in turn, is
// startup's result; the tool is never added and nothing is left held.
TEST(AboutMenu, EveryFailureStopsStartupAndLeavesNothingHeld) {
  // The helper's own menu suite is the third acquire: the dispatcher and the
  // startup handler acquire the whole table first.
  const std::vector<std::pair<std::string, std::int64_t>> faults = {{"SP Basic Suite/acquire suite AI Menu Suite", 3},
                                                                    {"AI Menu Suite/count menu groups", 1},
                                                                    {"AI Menu Suite/nth menu group", 1},
                                                                    {"AI Menu Suite/nth menu group", 2},
                                                                    {"AI Menu Suite/menu group name", 1},
                                                                    {"AI Menu Suite/menu group name", 2},
                                                                    {"AI Menu Suite/add menu item", 1},
                                                                    {"AI Menu Suite/add menu item", 2},
                                                                    {"AI Menu Suite/add menu group as submenu", 1},
                                                                    {"AI Unicode String Suite/initialise", 1},
                                                                    {"AI Unicode String Suite/initialise", 2},
                                                                    {"AI Unicode String Suite/copy", 1},
                                                                    {"AI Unicode String Suite/copy", 2}};
  for (const auto& [call, nth] : faults) {
    swhost::World world;
    world.menuGroups = {"File", "About"};
    const hostapi::HostError error = 7000 + static_cast<hostapi::HostError>(nth);
    world.faults = {{call, nth, error}};
    Session session(world);
    const hostapi::HostError result = session.startup();
    SCOPED_TRACE(call + " #" + std::to_string(nth));
    ASSERT_GE(countCalls(session.record().calls, call), static_cast<std::size_t>(nth));
    EXPECT_EQ(result, error);
    EXPECT_TRUE(session.record().tools.empty());
    EXPECT_EQ(session.host().liveStrings(), 0u);
    EXPECT_EQ(gGlobals->aboutMenuItem, nullptr);
    for (const auto& [suite, held] : session.host().heldSuites()) EXPECT_EQ(held, 1) << suite;
    EXPECT_TRUE(session.record().violations.empty());
  }
}

TEST(AboutMenu, FailuresOfDisposeAreIgnored) {
  swhost::World world;
  world.faults = {{"AI Unicode String Suite/dispose", 0, 99}};
  Session session(world);
  EXPECT_EQ(session.startup(), 0);
  EXPECT_EQ(session.record().tools.size(), 1u);
}

}  // namespace
