// The steps onStartup (bridge/lifecycle.cpp) runs once the globals record and
// its lists exist, in this order: the about item, the tool, the annotator.
// The first that fails stops the rest and is startup's result. Each runs
// while the suite table is held, and each is defined in the file of the
// subsystem it registers.
#pragma once

#include "bridge/host_api.h"

// Adds this plug-in's item to the shared about submenu (about/about_menu.cpp).
hostapi::HostError addAboutMenu(hostapi::MessageHeader& message);

// Adds the tool to the palette, in its companion's group (tool/registration.cpp).
hostapi::HostError addTool(hostapi::MessageHeader& message);

// Registers the annotator and leaves it inactive (tool/registration.cpp).
hostapi::HostError registerAnnotator(hostapi::MessageHeader& message);
