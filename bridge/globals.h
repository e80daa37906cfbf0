// The persistent globals record and the module's one pointer to it.
#pragma once

#include <cstdint>
#include <vector>

#include "bridge/host_api.h"
#include "tool/geometry.h"

// A growable list of art handles, owned by the plug-in. Destroying a list
// never disposes the art it names.
using ArtList = std::vector<hostapi::ArtHandle>;

// Everything that must outlive one message. The host allocates the block at
// startup and keeps it while the library is unloaded; every field but the three
// list pointers survives unload and reload unchanged.
struct ToolGlobals {
  hostapi::ToolHandle toolHandle;         // the registered tool; never read
  hostapi::MenuItemHandle aboutMenuItem;  // this plug-in's about item; null until added
  ArtList* targetPaths;                   // the selected paths being reshaped
  ArtList* referencePaths;                // their untouched duplicates, entry for entry
  ArtList* undisposedCopies;              // duplicates the host refused to dispose; never captured again
  LineCoefficients axisLine;              // through the start point, perpendicular to the drag
  hostapi::ArtworkPoint startPoint;       // where the mouse went down
  hostapi::ArtworkPoint currentPoint;     // the latest drag position
  hostapi::AnnotatorHandle annotatorHandle;
  hostapi::ViewRect feedbackRect;  // view area covered by the last feedback drawing
  float dragDivisor;               // artwork units of drag per unit of stretch factor
  hostapi::ArtworkPoint guideStart;
  hostapi::ArtworkPoint guideEnd;
  std::int32_t shiftDown;  // 0, or 0x80 when Shift was down at the latest drag event
};

inline constexpr float kDragDivisor = 200.0f;

// Null before startup and after shutdown.
extern ToolGlobals* gGlobals;

// Destroys the art lists, if the record exists.
void freeArtLists();
