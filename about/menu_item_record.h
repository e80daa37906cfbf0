// The record the host's add-menu-item operation reads.
#pragma once

#include <cstddef>

#include "about/host_string.h"
#include "bridge/host_api.h"

// A group name borrowed for the call, and the item's text, owned.
struct MenuItemRecord {
  const char* groupName = nullptr;
  ai::HostString itemText;

  // The host reads the record through its own declaration of the layout.
  const hostapi::MenuItemData* forHost() const { return reinterpret_cast<const hostapi::MenuItemData*>(this); }
};

static_assert(sizeof(ai::HostString) == sizeof(hostapi::UnicodeStringHandle));
static_assert(sizeof(MenuItemRecord) == sizeof(hostapi::MenuItemData));
static_assert(offsetof(MenuItemRecord, itemText) == offsetof(hostapi::MenuItemData, itemText));
