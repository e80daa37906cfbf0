// Finds or creates the submenu that every p.k plug-in shares in the host's
// About group, and adds one item to it.
#pragma once

#include <cstdint>

#include "about/host_string.h"
#include "bridge/host_api.h"

class SDKAboutPluginsHelper {
 public:
  SDKAboutPluginsHelper() = default;
  virtual ~SDKAboutPluginsHelper();

  // Adds an item with `itemText` to the group `groupName`, first creating the
  // group as a submenu titled `groupText` under "About" if the host has no
  // group of that name. Stores the new item in *itemOut only when it was
  // added. Holds its own menu suite for the call and always gives it back;
  // a failed string operation becomes its code.
  hostapi::HostError AddItemToSharedGroup(const hostapi::MessageHeader& message, const char* groupName,
                                          const ai::HostString& groupText, const char* itemText,
                                          hostapi::MenuItemHandle* itemOut);

  // Sets found when the host has a group named exactly `groupName` (byte for
  // byte, case-sensitive). The first match ends the search.
  hostapi::HostError HasMenuGroup(const char* groupName, bool& found);

 private:
  hostapi::HostError findOrCreateGroup(const hostapi::MessageHeader& message, const char* groupName,
                                       const ai::HostString& groupText);
  hostapi::HostError addItem(const hostapi::MessageHeader& message, const char* groupName, const char* itemText,
                             hostapi::MenuItemHandle* itemOut);

  const hostapi::MenuSuite* menuSuite = nullptr;  // held only during AddItemToSharedGroup
  [[maybe_unused]] std::int32_t reserved = 0;     // part of the record's layout; never read
};
