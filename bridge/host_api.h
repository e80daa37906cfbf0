// The host's interface as this plug-in uses it: message records, the basic
// suite, one table of operations per suite, and the value types that cross
// the boundary.
//
// This file is written by this project from the contracts the plug-in relies
// on; it is not the host vendor's header. Both sides include it: the plug-in
// and the substitute host in host/. Layout rules:
//  - every integer that crosses the boundary has a fixed width, and every
//    error is a HostError (signed 32-bit, 0 = success);
//  - a suite is a struct of plain function pointers using HOSTAPI_CALL;
//    operations take exactly the arguments the host documents, no owner
//    pointer: the host knows which plug-in is calling;
//  - handles are opaque pointer-wide values that only the host interprets;
//  - a suite's name and version stand as constants next to its struct.
//
// Unless an operation says otherwise, "out" arguments are written only on
// success, and a failed operation changes nothing the plug-in can observe.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define HOSTAPI_CALL __cdecl
#define HOSTAPI_EXPORT __declspec(dllexport)
#else
#define HOSTAPI_CALL
#define HOSTAPI_EXPORT __attribute__((visibility("default")))
#endif

namespace hostapi {

// ---------------------------------------------------------------------------
// Errors

using HostError = std::int32_t;

inline constexpr HostError kNoError = 0;

// A four-character code: the first character is the most significant byte.
constexpr HostError fourCharCode(char a, char b, char c, char d) {
  return static_cast<HostError>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

// ---------------------------------------------------------------------------
// Handles: opaque, pointer-wide, owned by the host unless stated otherwise.

struct PluginOpaque;
struct ArtOpaque;
struct ToolOpaque;
struct AnnotatorOpaque;
struct MenuItemOpaque;
struct MenuGroupOpaque;
struct DocumentViewOpaque;
struct DrawerOpaque;
struct IconOpaque;
struct UnicodeStringOpaque;

using PluginRef = PluginOpaque*;
using ArtHandle = ArtOpaque*;
using ToolHandle = ToolOpaque*;
using AnnotatorHandle = AnnotatorOpaque*;
using MenuItemHandle = MenuItemOpaque*;
using MenuGroupHandle = MenuGroupOpaque*;
using DocumentViewHandle = DocumentViewOpaque*;
using DrawerHandle = DrawerOpaque*;
using IconHandle = IconOpaque*;
using UnicodeStringHandle = UnicodeStringOpaque*;

// A host memory handle to an array of art handles: element i is (*handle)[i].
using ArtArrayHandle = ArtHandle**;

// ---------------------------------------------------------------------------
// Value types

// A point in artwork coordinates (y grows upwards).
struct ArtworkPoint {
  float x;
  float y;
};

// A point in pixels of a document view (y grows downwards).
struct ViewPoint {
  std::int32_t x;
  std::int32_t y;
};

// A rectangle in view pixels.
struct ViewRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// One segment of a path: an anchor with its two direction handles, followed
// by four bytes that belong to the host and must be written back unchanged.
struct PathSegment {
  ArtworkPoint anchor;
  ArtworkPoint in;
  ArtworkPoint out;
  std::uint8_t hostData[4];
};
static_assert(sizeof(ArtworkPoint) == 8);
static_assert(sizeof(PathSegment) == 28, "the host's segment record is 28 bytes");
static_assert(offsetof(PathSegment, in) == 8 && offsetof(PathSegment, out) == 16 &&
              offsetof(PathSegment, hostData) == 24);

// A colour; each component runs from 0 to 0xFFFF (full).
struct RgbColor {
  std::uint16_t red;
  std::uint16_t green;
  std::uint16_t blue;
};

// ---------------------------------------------------------------------------
// Basic suite: handed over in every message; never acquired.

struct BasicSuite {
  // Fills *suite with the named suite's table and counts one acquisition.
  // An unknown name or version fails and leaves *suite as it was.
  HostError(HOSTAPI_CALL* acquireSuite)(const char* name, std::int32_t version, const void** suite);
  // Gives back one acquisition of the named suite.
  HostError(HOSTAPI_CALL* releaseSuite)(const char* name, std::int32_t version);
  // Non-zero when the two NUL-terminated strings are equal.
  std::int32_t(HOSTAPI_CALL* isEqual)(const char* a, const char* b);
  // Allocates a block of `size` bytes that outlives unload and reload.
  HostError(HOSTAPI_CALL* allocateBlock)(std::size_t size, void** block);
  // Frees a block from allocateBlock.
  HostError(HOSTAPI_CALL* freeBlock)(void* block);
};

// ---------------------------------------------------------------------------
// Message records. Every record starts with the common header.

struct MessageHeader {
  PluginRef self;           // this plug-in, as the host knows it
  void* globals;            // kept by the host for the plug-in across calls
  const BasicSuite* basic;  // valid for the duration of the call
};

// Caller "AI Tool": mouse and cursor events of the plug-in's tool.
struct ToolMessage {
  MessageHeader header;
  ToolHandle tool;
  ArtworkPoint cursor;  // the cursor position in artwork coordinates
};

// Caller "AI Menu": a chosen menu item.
struct MenuMessage {
  MessageHeader header;
  MenuItemHandle menuItem;
};

// Caller "AI Annotation": draw or invalidate requests for an annotator.
struct AnnotatorMessage {
  MessageHeader header;
  AnnotatorHandle annotator;
  DocumentViewHandle view;
  DrawerHandle drawer;  // valid for drawing during "AI Draw" only
};

// The single exported entry point of a plug-in. The strings belong to the
// host; `message` points to the record that goes with the caller.
using PluginEntry = HostError(HOSTAPI_CALL*)(const char* caller, const char* selector, void* message);

// ---------------------------------------------------------------------------
// Suites

// "SP Blocks Suite": acquired with the others; the plug-in calls none of it.
inline constexpr const char* kBlocksSuiteName = "SP Blocks Suite";
inline constexpr std::int32_t kBlocksSuiteVersion = 2;
struct BlocksSuite {};

// "SP Access Suite": acquired with the others; the plug-in calls none of it.
inline constexpr const char* kAccessSuiteName = "SP Access Suite";
inline constexpr std::int32_t kAccessSuiteVersion = 3;
struct AccessSuite {};

// "AI Art Suite"
inline constexpr const char* kArtSuiteName = "AI Art Suite";
inline constexpr std::int32_t kArtSuiteVersion = 15;
inline constexpr std::int16_t kPlaceAbove = 1;  // paint order: directly above the reference
struct ArtSuite {
  // Copies `art` into the document at `paintOrder` relative to `reference`;
  // with kPlaceAbove and the art itself as reference the copy lies directly
  // above the original.
  HostError(HOSTAPI_CALL* duplicateArt)(ArtHandle art, std::int16_t paintOrder, ArtHandle reference, ArtHandle* copy);
  // Removes `art` from the document; the handle is dead afterwards.
  HostError(HOSTAPI_CALL* disposeArt)(ArtHandle art);
};

// "AI Tool Suite"
inline constexpr const char* kToolSuiteName = "AI Tool Suite";
inline constexpr std::int32_t kToolSuiteVersion = 11;
inline constexpr std::int16_t kNoTool = -2;  // "same tool set as": no tool
inline constexpr std::int32_t kToolOptionDefault = 1;

// What the host shows for a tool in its palette.
struct ToolData {
  const char* title;
  const char* tooltip;
  std::int32_t reserved;  // not used by this plug-in; zero
  IconHandle icon;
  std::int16_t sameGroupAs;    // palette group: the number of a tool to group with
  std::int16_t sameToolSetAs;  // tool set: the number of a tool, or kNoTool
};

struct ToolSuite {
  // The palette number of the tool registered under `name`.
  HostError(HOSTAPI_CALL* toolNumberFromName)(const char* name, std::int16_t* number);
  // Adds a tool to the palette; `data` is read during the call only.
  HostError(HOSTAPI_CALL* addTool)(PluginRef self, const char* name, const ToolData* data, std::int32_t options,
                                   ToolHandle* tool);
};

// "AI Menu Suite"
inline constexpr const char* kMenuSuiteName = "AI Menu Suite";
inline constexpr std::int32_t kMenuSuiteVersion = 9;
inline constexpr std::int32_t kMenuItemOptionsDefault = 0;
inline constexpr std::int32_t kMenuGroupOptionsSubmenu = 1;

// The record the host reads when a menu item is added. `itemText` is the
// handle held by a Unicode-string wrapper whose only field it is.
struct MenuItemData {
  const char* groupName;  // borrowed; must stay valid during the call
  UnicodeStringHandle itemText;
};

struct MenuSuite {
  // The number of menu groups the host has.
  HostError(HOSTAPI_CALL* countMenuGroups)(std::int32_t* count);
  // The group at `index`, in the host's order (0-based).
  HostError(HOSTAPI_CALL* nthMenuGroup)(std::int32_t index, MenuGroupHandle* group);
  // The group's NUL-terminated name; the text is owned by the host.
  HostError(HOSTAPI_CALL* menuGroupName)(MenuGroupHandle group, const char** name);
  // Adds an item to the record's group with the record's text. The record
  // needs to live only during the call; the handle names the item in later
  // menu messages.
  HostError(HOSTAPI_CALL* addMenuItem)(PluginRef self, const char* itemName, const MenuItemData* data,
                                       std::int32_t options, MenuItemHandle* item);
  // Creates a group named `groupName` hanging from `parent` as its submenu;
  // the group search finds it from then on.
  HostError(HOSTAPI_CALL* addMenuGroupAsSubMenu)(const char* groupName, std::int32_t options, MenuItemHandle parent,
                                                 MenuGroupHandle* group);
};

// "AI Unicode String Suite". Each operation is given the address of the
// wrapper object, whose only field is the string's handle.
inline constexpr const char* kUnicodeStringSuiteName = "AI Unicode String Suite";
inline constexpr std::int32_t kUnicodeStringSuiteVersion = 6;
inline constexpr std::int32_t kPlatformEncoding = 0;
struct UnicodeStringSuite {
  // Makes *string hold `byteLength` bytes of `text` in `encoding`.
  HostError(HOSTAPI_CALL* initialize)(UnicodeStringHandle* string, const char* text, std::size_t byteLength,
                                      std::int32_t encoding);
  // Makes *destination hold the same text as *source.
  HostError(HOSTAPI_CALL* copy)(UnicodeStringHandle* destination, const UnicodeStringHandle* source);
  // Frees the string *string holds and sets the handle to null.
  HostError(HOSTAPI_CALL* dispose)(UnicodeStringHandle* string);
};

// "AI Path Suite"
inline constexpr const char* kPathSuiteName = "AI Path Suite";
inline constexpr std::int32_t kPathSuiteVersion = 9;
struct PathSuite {
  // The number of segments of `path`.
  HostError(HOSTAPI_CALL* segmentCount)(ArtHandle path, std::int16_t* count);
  // Reads segments first .. first+count-1 into `segments`.
  HostError(HOSTAPI_CALL* getSegments)(ArtHandle path, std::int16_t first, std::int16_t count, PathSegment* segments);
  // Replaces segments first .. first+count-1, host bytes included.
  HostError(HOSTAPI_CALL* setSegments)(ArtHandle path, std::int16_t first, std::int16_t count,
                                       const PathSegment* segments);
};

// "AI Path Style Suite": acquired with the others; the plug-in calls none of it.
inline constexpr const char* kPathStyleSuiteName = "AI Path Style Suite";
inline constexpr std::int32_t kPathStyleSuiteVersion = 11;
struct PathStyleSuite {};

// "AI Matching Art Suite"
inline constexpr const char* kMatchingArtSuiteName = "AI Matching Art Suite";
inline constexpr std::int32_t kMatchingArtSuiteVersion = 5;
inline constexpr std::int16_t kPathArt = 2;
inline constexpr std::int32_t kArtSelected = 1;

// One condition of a search: art of `type` whose attributes under `whichAttr`
// equal `attr`.
struct MatchingArtSpec {
  std::int16_t type;
  std::int32_t whichAttr;
  std::int32_t attr;
};

struct MatchingArtSuite {
  // The document's art that meets any of the MatchingArtSpec records, in
  // paint order. The answer is a host memory handle that the caller gives
  // back through the MdMemory suite; with no match the handle may stay null.
  HostError(HOSTAPI_CALL* matchingArt)(const MatchingArtSpec* specs, std::int16_t specCount, ArtArrayHandle* matches,
                                       std::int32_t* matchCount);
};

// "ADM Basic Suite"
inline constexpr const char* kAdmBasicSuiteName = "ADM Basic Suite";
inline constexpr std::int32_t kAdmBasicSuiteVersion = 10;
struct AdmBasicSuite {
  // Shows the plug-in's cursor resource `cursorId`.
  HostError(HOSTAPI_CALL* setCursor)(PluginRef self, std::int32_t cursorId);
  // Shows `text` to the user in an alert.
  HostError(HOSTAPI_CALL* messageAlert)(const char* text);
};

// "ADM Icon Suite"
inline constexpr const char* kAdmIconSuiteName = "ADM Icon Suite";
inline constexpr std::int32_t kAdmIconSuiteVersion = 1;
inline constexpr std::int32_t kIconTypeUnknown = 7;  // the host could not make the icon
struct AdmIconSuite {
  // An icon made from the plug-in's resources.
  IconHandle(HOSTAPI_CALL* iconFromResource)(PluginRef self, std::int32_t kind, std::int32_t resourceId);
  // The icon's type; kIconTypeUnknown means there is no usable icon.
  std::int32_t(HOSTAPI_CALL* iconType)(IconHandle icon);
};

// "AI MdMemory Suite"
inline constexpr const char* kMdMemorySuiteName = "AI MdMemory Suite";
inline constexpr std::int32_t kMdMemorySuiteVersion = 1;
struct MdMemorySuite {
  // Gives back a memory handle the host handed out (a matching-art answer).
  HostError(HOSTAPI_CALL* disposeHandle)(void* handle);
};

// "AI Annotator Suite"
inline constexpr const char* kAnnotatorSuiteName = "AI Annotator Suite";
inline constexpr std::int32_t kAnnotatorSuiteVersion = 4;
struct AnnotatorSuite {
  // Registers an annotator; the host sends it "AI Annotation" messages while
  // it is active.
  HostError(HOSTAPI_CALL* addAnnotator)(PluginRef self, const char* name, AnnotatorHandle* annotator);
  // Turns the annotator's messages on (1) or off (0).
  HostError(HOSTAPI_CALL* setActive)(AnnotatorHandle annotator, std::int32_t active);
  // Asks the host to redraw `rect` of `view`.
  HostError(HOSTAPI_CALL* invalidateRect)(DocumentViewHandle view, const ViewRect* rect);
};

// "AI Annotator Drawer Suite"
inline constexpr const char* kAnnotatorDrawerSuiteName = "AI Annotator Drawer Suite";
inline constexpr std::int32_t kAnnotatorDrawerSuiteVersion = 2;
struct AnnotatorDrawerSuite {
  // The colour of the lines drawn after this call.
  HostError(HOSTAPI_CALL* setColor)(DrawerHandle drawer, const RgbColor* color);
  // Draws a line between two view points with the current settings.
  HostError(HOSTAPI_CALL* drawLine)(DrawerHandle drawer, const ViewPoint* from, const ViewPoint* to);
  // Dashes the lines drawn after this call: `count` alternating lengths.
  HostError(HOSTAPI_CALL* setDashPattern)(DrawerHandle drawer, const float* dashes, std::int32_t count);
};

// "AI Document View Suite"
inline constexpr const char* kDocumentViewSuiteName = "AI Document View Suite";
inline constexpr std::int32_t kDocumentViewSuiteVersion = 10;
struct DocumentViewSuite {
  // The document view at `index` (0 is the current one).
  HostError(HOSTAPI_CALL* nthView)(std::int32_t index, DocumentViewHandle* view);
  // Maps an artwork point to the pixel of `view` it falls on.
  HostError(HOSTAPI_CALL* artworkToViewPoint)(DocumentViewHandle view, const ArtworkPoint* artwork, ViewPoint* point);
};

// "AI Undo Suite"
inline constexpr const char* kUndoSuiteName = "AI Undo Suite";
inline constexpr std::int32_t kUndoSuiteVersion = 5;
struct UndoSuite {
  // Undoes the changes of the current operation (the one the latest mouse
  // event began).
  HostError(HOSTAPI_CALL* undoChanges)();
};

}  // namespace hostapi

// The entry point every plug-in exports under exactly this name.
extern "C" HOSTAPI_EXPORT hostapi::HostError HOSTAPI_CALL PluginMain(const char* caller, const char* selector,
                                                                     void* message);
