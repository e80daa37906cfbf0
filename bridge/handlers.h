// Every message handler of the plug-in, by the subsystem that owns it. Each
// returns a host error code; the dispatch table decides which one runs.
#pragma once

#include "bridge/host_api.h"

// Lifecycle (bridge/lifecycle.cpp). Startup reaches onStartup through the
// dispatcher's fallback; its steps are in startup_steps.h.
hostapi::HostError onStartup(hostapi::MessageHeader& message);
hostapi::HostError onShutdown(hostapi::MessageHeader& message);
hostapi::HostError onUnload(hostapi::MessageHeader& message);
hostapi::HostError onReload(hostapi::MessageHeader& message);

// Mouse drag (tool/mouse_drag.cpp).
hostapi::HostError onMouseDown(hostapi::ToolMessage& message);
hostapi::HostError onMouseDrag(hostapi::ToolMessage& message);
hostapi::HostError onMouseUp(hostapi::ToolMessage& message);

// Drag feedback and cursor (tool/drag_feedback.cpp).
hostapi::HostError onAnnotationDraw(hostapi::AnnotatorMessage& message);
hostapi::HostError onAnnotationInvalidate(hostapi::AnnotatorMessage& message);
hostapi::HostError onTrackCursor(hostapi::ToolMessage& message);

// About menu (about/about_menu.cpp).
hostapi::HostError onMenuGo(hostapi::MenuMessage& message);
