// The menu suite: menu groups, items and submenus.
#include "host/host.h"
#include "host/host_objects.h"
#include "host/plugin_code.h"

namespace swhost {

using namespace hostapi;

namespace {

Host& host() { return *Host::active(); }

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

}  // namespace

const MenuSuite kMenuSuite{countMenuGroups, nthMenuGroup, menuGroupName, addMenuItem, addMenuGroupAsSubMenu};

}  // namespace swhost
