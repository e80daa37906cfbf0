// Every message handler of the plug-in, by the subsystem that owns it. Each
// returns a host error code; the dispatch table decides which one runs.
#pragma once

#include "bridge/host_api.h"

using hostapi::HostError;

// Lifecycle (bridge/lifecycle.cpp).
HostError onStartup(hostapi::MessageHeader& message);
HostError onShutdown(hostapi::MessageHeader& message);
HostError onUnload(hostapi::MessageHeader& message);
HostError onReload(hostapi::MessageHeader& message);

// Mouse drag (tool/mouse_drag.cpp).
HostError onMouseDown(hostapi::ToolMessage& message);
HostError onMouseDrag(hostapi::ToolMessage& message);
HostError onMouseUp(hostapi::ToolMessage& message);

// Drag feedback and cursor (tool/drag_feedback.cpp).
HostError onAnnotationDraw(hostapi::AnnotatorMessage& message);
HostError onAnnotationInvalidate(hostapi::AnnotatorMessage& message);
HostError onTrackCursor(hostapi::ToolMessage& message);

// Registration at startup (tool/registration.cpp), while the suites are held.
HostError addTool(hostapi::MessageHeader& message);
HostError registerAnnotator(hostapi::MessageHeader& message);

// About menu (about/about_menu.cpp).
HostError addAboutMenu(hostapi::MessageHeader& message);
HostError onMenuGo(hostapi::MenuMessage& message);
