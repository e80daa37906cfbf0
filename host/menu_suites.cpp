// Menu and Unicode-string suites.
#include <memory>

#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

// The live string a wrapper holds, or null (also for a null wrapper).
HostUnicodeString* liveString(const UnicodeStringHandle* wrapper) {
  if (wrapper == nullptr || *wrapper == nullptr) return nullptr;
  const auto& strings = host().objects().strings;
  const auto it = strings.find(*wrapper);
  return it == strings.end() ? nullptr : it->second.get();
}

// Makes the wrapper hold `text`, reusing the string it already holds.
void hold(UnicodeStringHandle* wrapper, std::string text) {
  if (HostUnicodeString* string = liveString(wrapper)) {
    string->text = std::move(text);
    return;
  }
  auto string = std::make_unique<HostUnicodeString>(HostUnicodeString{std::move(text)});
  *wrapper = reinterpret_cast<UnicodeStringHandle>(string.get());
  host().objects().strings.emplace(string.get(), std::move(string));
}

// --- "AI Menu Suite" --------------------------------------------------------

HostError HOSTAPI_CALL countMenuGroups(std::int32_t* count) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::menu, "count menu groups")) return fault;
  if (count == nullptr) return host().violation("AI Menu Suite/count menu groups", "null out pointer");
  *count = static_cast<std::int32_t>(host().record().menuGroups.size());
  return kNoError;
}

HostError HOSTAPI_CALL nthMenuGroup(std::int32_t index, MenuGroupHandle* group) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::menu, "nth menu group")) return fault;
  if (group == nullptr) return host().violation("AI Menu Suite/nth menu group", "null out pointer");
  if (index < 0 || static_cast<std::size_t>(index) >= host().record().menuGroups.size()) return kOutOfRangeError;
  *group = makeHandle<MenuGroupHandle>(kMenuGroupBase, static_cast<std::size_t>(index));
  return kNoError;
}

HostError HOSTAPI_CALL menuGroupName(MenuGroupHandle group, const char** name) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::menu, "menu group name")) return fault;
  auto& groups = host().record().menuGroups;
  const auto index = handleIndex(group, kMenuGroupBase, groups.size());
  if (!index || name == nullptr)
    return host().violation("AI Menu Suite/menu group name", "not a group or null out pointer");
  *name = groups[*index].name.c_str();
  return kNoError;
}

HostError HOSTAPI_CALL addMenuItem(PluginRef self, const char* itemName, const MenuItemData* data, std::int32_t options,
                                   MenuItemHandle* item) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::menu, "add menu item")) return fault;
  if (self != host().pluginRef() || data == nullptr || data->groupName == nullptr || item == nullptr) {
    return host().violation("AI Menu Suite/add menu item", "foreign plug-in or null argument");
  }
  const HostUnicodeString* text = liveString(&data->itemText);
  if (text == nullptr) return host().violation("AI Menu Suite/add menu item", "the item text is not a live string");
  Record& record = host().record();
  bool groupExists = false;
  for (const MenuGroup& group : record.menuGroups) groupExists = groupExists || group.name == data->groupName;
  if (!groupExists) return kNotFoundError;
  std::optional<std::string> name;
  if (itemName != nullptr) name = itemName;
  record.menuItems.push_back(MenuItem{data->groupName, text->text, std::move(name), options});
  *item = makeHandle<MenuItemHandle>(kMenuItemBase, record.menuItems.size() - 1);
  return kNoError;
}

HostError HOSTAPI_CALL addMenuGroupAsSubMenu(const char* groupName, std::int32_t options, MenuItemHandle parent,
                                             MenuGroupHandle* group) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::menu, "add menu group as submenu")) return fault;
  Record& record = host().record();
  const auto parentIndex = handleIndex(parent, kMenuItemBase, record.menuItems.size());
  if (groupName == nullptr || !parentIndex || group == nullptr) {
    return host().violation("AI Menu Suite/add menu group as submenu", "null name, no parent item or null out pointer");
  }
  record.menuGroups.push_back(MenuGroup{groupName, parentIndex, options});
  *group = makeHandle<MenuGroupHandle>(kMenuGroupBase, record.menuGroups.size() - 1);
  return kNoError;
}

// --- "AI Unicode String Suite" ----------------------------------------------

HostError HOSTAPI_CALL initialize(UnicodeStringHandle* string, const char* text, std::size_t byteLength,
                                  std::int32_t encoding) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::unicodeString, "initialise")) return fault;
  if (string == nullptr || (text == nullptr && byteLength != 0)) {
    return host().violation("AI Unicode String Suite/initialise", "null wrapper or text");
  }
  if (encoding != kPlatformEncoding) return kBadParameterError;
  hold(string, std::string(text, byteLength));
  return kNoError;
}

HostError HOSTAPI_CALL copy(UnicodeStringHandle* destination, const UnicodeStringHandle* source) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::unicodeString, "copy")) return fault;
  if (destination == nullptr || source == nullptr) {
    return host().violation("AI Unicode String Suite/copy", "null wrapper");
  }
  const HostUnicodeString* from = liveString(source);
  if (*source != nullptr && from == nullptr) return host().violation("AI Unicode String Suite/copy", "dead source");
  if (*destination != nullptr && liveString(destination) == nullptr) {
    return host().violation("AI Unicode String Suite/copy", "dead destination");
  }
  hold(destination, from != nullptr ? from->text : std::string());
  return kNoError;
}

HostError HOSTAPI_CALL dispose(UnicodeStringHandle* string) {
  const HostCodeScope hostCode;
  if (const HostError fault = host().enter(SuiteId::unicodeString, "dispose")) return fault;
  if (string == nullptr || liveString(string) == nullptr) {
    return host().violation("AI Unicode String Suite/dispose", "not a live string");
  }
  host().objects().strings.erase(*string);
  *string = nullptr;
  return kNoError;
}

}  // namespace

const MenuSuite kMenuSuite{countMenuGroups, nthMenuGroup, menuGroupName, addMenuItem, addMenuGroupAsSubMenu};
const UnicodeStringSuite kUnicodeStringSuite{initialize, copy, dispose};

}  // namespace swhost
