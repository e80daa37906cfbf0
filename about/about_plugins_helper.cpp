// The shared about submenu (about_plugins_helper.h): the host's menu groups
// searched by exact name, the submenu made under "About" only when no p.k
// plug-in made it first, and the menu suite held for one call and always
// given back before the call returns.
#include "about/about_plugins_helper.h"

#include <cstring>

#include "about/menu_item_record.h"

using namespace hostapi;

namespace {
constexpr const char* kAboutGroupName = "About";
}

SDKAboutPluginsHelper::~SDKAboutPluginsHelper() = default;

HostError SDKAboutPluginsHelper::AddItemToSharedGroup(const MessageHeader& message, const char* groupName,
                                                      const ai::HostString& groupText, const char* itemText,
                                                      MenuItemHandle* itemOut) {
  HostError result = kNoError;
  if (menuSuite == nullptr) {
    result = message.basic->acquireSuite(kMenuSuiteName, kMenuSuiteVersion, reinterpret_cast<const void**>(&menuSuite));
  }
  try {
    if (result == kNoError && menuSuite != nullptr) result = findOrCreateGroup(message, groupName, groupText);
    if (result == kNoError && menuSuite != nullptr) result = addItem(message, groupName, itemText, itemOut);
  } catch (const ai::Error& error) {
    result = error.code();
  }
  if (menuSuite != nullptr) {
    message.basic->releaseSuite(kMenuSuiteName, kMenuSuiteVersion);
    menuSuite = nullptr;
  }
  return result;
}

HostError SDKAboutPluginsHelper::HasMenuGroup(const char* groupName, bool& found) {
  found = false;
  std::int32_t count = 0;
  HostError result = menuSuite->countMenuGroups(&count);
  if (result != kNoError) return result;
  for (std::int32_t i = 0; i < count; ++i) {
    MenuGroupHandle group = nullptr;
    result = menuSuite->nthMenuGroup(i, &group);
    if (result != kNoError) return result;
    const char* name = nullptr;
    result = menuSuite->menuGroupName(group, &name);
    if (result != kNoError) return result;
    if (name != nullptr && std::strcmp(name, groupName) == 0) {
      found = true;
      break;
    }
  }
  return kNoError;
}

HostError SDKAboutPluginsHelper::findOrCreateGroup(const MessageHeader& message, const char* groupName,
                                                   const ai::HostString& groupText) {
  bool found = false;
  HostError result = HasMenuGroup(groupName, found);
  if (result != kNoError || found) return result;

  MenuItemRecord parentRecord;
  parentRecord.groupName = kAboutGroupName;
  parentRecord.itemText = groupText;
  MenuItemHandle parent = nullptr;
  result = menuSuite->addMenuItem(message.self, nullptr, parentRecord.forHost(), kMenuItemOptionsDefault, &parent);
  if (result != kNoError) return result;
  MenuGroupHandle group = nullptr;
  return menuSuite->addMenuGroupAsSubMenu(groupName, kMenuGroupOptionsSubmenu, parent, &group);
}

HostError SDKAboutPluginsHelper::addItem(const MessageHeader& message, const char* groupName, const char* itemText,
                                         MenuItemHandle* itemOut) {
  MenuItemRecord record;
  record.groupName = groupName;
  record.itemText = ai::HostString(itemText, kPlatformEncoding);
  MenuItemHandle item = nullptr;
  const HostError result =
      menuSuite->addMenuItem(message.self, nullptr, record.forHost(), kMenuItemOptionsDefault, &item);
  if (result == kNoError) *itemOut = item;
  return result;
}
