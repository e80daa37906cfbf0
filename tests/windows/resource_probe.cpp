// Loads slantWarper.aip and reads its resources back through the Windows API,
// the way the host and the system read them: the property list and the entry
// point it names, the cursor with its hot spot, the icon group, the string
// tables and the version record. Prints one line per failed check and exits
// non-zero if any failed.
//
// Usage: resource_probe PATH\TO\slantWarper.aip

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "about/about_text.h"

namespace {

int failures = 0;

void expect(bool ok, const std::string& what) {
  if (ok) return;
  ++failures;
  std::printf("FAIL: %s\n", what.c_str());
}

std::string narrow(const std::wstring& text) {
  std::string result;
  for (wchar_t c : text) result += c < 0x80 ? static_cast<char>(c) : '?';
  return result;
}

std::uint32_t readU32(const unsigned char* bytes) {
  std::uint32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

constexpr std::uint32_t fourCc(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

// Walks the property list by its count as the host does; returns the offset
// just past the last property, or 0 if a property overruns the list.
// `visit(key, data, length)` sees every property.
template <typename Visit>
DWORD walkProperties(const unsigned char* list, DWORD size, Visit visit) {
  DWORD offset = 10;
  const std::uint32_t count = readU32(list + 6);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (offset + 16 > size) return 0;
    const std::uint32_t length = readU32(list + offset + 12);
    if (length > size - offset - 16) return 0;
    visit(readU32(list + offset + 4), list + offset + 16, length);
    offset += 16 + length;
  }
  return offset;
}

// The text of a property-list property (up to its NUL), looked up by key.
std::string propertyText(const unsigned char* list, DWORD size, std::uint32_t key) {
  std::string found;
  walkProperties(list, size, [&](std::uint32_t propertyKey, const unsigned char* data, std::uint32_t length) {
    if (propertyKey != key) return;
    const char* text = reinterpret_cast<const char*>(data);
    found.assign(text, strnlen(text, length));
  });
  return found;
}

void checkPropertyList(HMODULE plugin, std::string& pluginName) {
  HRSRC found = FindResourceA(plugin, MAKEINTRESOURCEA(16000), "PIPL");
  expect(found != nullptr, "FindResource finds PIPL 16000");
  if (found == nullptr) return;
  const DWORD size = SizeofResource(plugin, found);
  const auto* list = static_cast<const unsigned char*>(LockResource(LoadResource(plugin, found)));
  expect(size == 106, "the property list is 106 bytes, not " + std::to_string(size));
  if (list == nullptr || size < 10) return;
  expect(readU32(list + 6) == 4, "the property list holds four properties");
  expect(walkProperties(list, size, [](std::uint32_t, const unsigned char*, std::uint32_t) {}) == size,
         "its properties consume the whole list");
  const std::string entryName = propertyText(list, size, fourCc("wx86"));
  expect(entryName == "PluginMain", "'wx86' names PluginMain, not \"" + entryName + "\"");
  expect(GetProcAddress(plugin, entryName.c_str()) != nullptr, "the export named by 'wx86' exists");
  pluginName = propertyText(list, size, fourCc("pinm"));
}

// Pixels whose mask bit is clear, from a mask bitmap read top-down.
std::set<std::pair<int, int>> opaquePixels(HBITMAP mask, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, mask, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  expect(rows == height, "the mask bitmap can be read");
  std::set<std::pair<int, int>> opaque;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF) == 0) opaque.insert({x, y});
    }
  }
  return opaque;
}

void checkCursor(HMODULE plugin) {
  HCURSOR cursor = LoadCursorA(plugin, MAKEINTRESOURCEA(16001));
  expect(cursor != nullptr, "LoadCursor loads cursor group 16001");
  if (cursor == nullptr) return;
  ICONINFO info{};
  expect(GetIconInfo(cursor, &info) != 0, "GetIconInfo reads the cursor");
  expect(!info.fIcon, "16001 is a cursor, not an icon");
  expect(info.xHotspot == 6 && info.yHotspot == 6,
         "the hot spot is (6, 6), not (" + std::to_string(info.xHotspot) + ", " + std::to_string(info.yHotspot) + ")");
  std::set<std::pair<int, int>> cross{{5, 5}};
  for (int i : {0, 1, 2, 3, 7, 8, 9, 10}) {
    cross.insert({i, i});
    cross.insert({10 - i, i});
  }
  expect(info.hbmMask != nullptr, "the cursor has a mask");
  if (info.hbmMask != nullptr) {
    expect(opaquePixels(info.hbmMask, 32, 32) == cross, "the cursor shows exactly the 17 pixels of the cross");
    DeleteObject(info.hbmMask);
  }
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
}

void checkIcon(HMODULE plugin) {
  HANDLE icon = LoadImageA(plugin, MAKEINTRESOURCEA(16051), IMAGE_ICON, 16, 16, 0);
  expect(icon != nullptr, "LoadImage loads icon group 16051");
  expect(FindResourceA(plugin, MAKEINTRESOURCEA(16050), MAKEINTRESOURCEA(14)) == nullptr,
         "there is no icon group 16050");
  if (icon == nullptr) return;
  ICONINFO info{};
  expect(GetIconInfo(static_cast<HICON>(icon), &info) != 0 && info.fIcon, "GetIconInfo reads an icon");
  BITMAP colour{};
  expect(info.hbmColor != nullptr && GetObjectA(info.hbmColor, sizeof colour, &colour) != 0 && colour.bmWidth == 16 &&
             colour.bmHeight == 16,
         "the icon is a 16 by 16 colour picture");
  if (info.hbmMask != nullptr) {
    // Spot checks that catch a flipped or shifted picture: the top-right
    // corner of the frame, the lone grey pixel and the bottom silver row.
    const auto opaque = opaquePixels(info.hbmMask, 16, 16);
    expect(opaque.size() == 88, "the icon has 88 opaque pixels, not " + std::to_string(opaque.size()));
    expect(opaque.count({10, 1}) && opaque.count({9, 5}) && opaque.count({2, 13}) && !opaque.count({1, 13}) &&
               !opaque.count({0, 0}),
           "the icon's picture is upright and in place");
    DeleteObject(info.hbmMask);
  }
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  DestroyIcon(static_cast<HICON>(icon));
}

std::wstring loadString(HMODULE plugin, UINT id) {
  wchar_t buffer[256];
  const int length = LoadStringW(plugin, id, buffer, 256);
  return std::wstring(buffer, length > 0 ? length : 0);
}

void checkStrings(HMODULE plugin) {
  const std::pair<UINT, std::wstring> expected[] = {
      {16000, L"<First Mac index is 1>"},   {16001, L"p.k Filters"},
      {16002, L"" SW_PLUGIN_NAME},          {16100, L"<First Mac index is 1>"},
      {16101, L"Dummy error alert string"},
  };
  for (const auto& [id, text] : expected) {
    const std::wstring found = loadString(plugin, id);
    expect(found == text, "string " + std::to_string(id) + " reads \"" + narrow(found) + "\"");
  }
  const std::wstring sentence = loadString(plugin, 16102);
  expect(!sentence.empty() && sentence.back() == L'.', "string 16102 is a sentence");
  expect(loadString(plugin, 16003).empty() && loadString(plugin, 16103).empty(), "no strings beyond the tables");
}

std::wstring versionString(const std::vector<char>& block, const wchar_t* key) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904E4\\") + key;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value));
}

void checkVersion(const char* path, std::string& internalName, std::string& productName) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  expect(size != 0, "the library has a version record");
  if (size == 0) return;
  std::vector<char> block(size);
  expect(GetFileVersionInfoA(path, 0, size, block.data()) != 0, "GetFileVersionInfo reads it");

  void* value = nullptr;
  UINT length = 0;
  expect(VerQueryValueW(block.data(), L"\\", &value, &length) != 0 && length == sizeof(VS_FIXEDFILEINFO),
         "the fixed part is there");
  if (value != nullptr) {
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
    expect(fixed.dwFileVersionMS == 0x00000001 && fixed.dwFileVersionLS == 0, "file version 0.1.0.0");
    expect(fixed.dwProductVersionMS == 0x00000001 && fixed.dwProductVersionLS == 0, "product version 0.1.0.0");
    expect(fixed.dwFileFlagsMask == 0x3F && fixed.dwFileFlags == 0, "flags mask 0x3F, flags 0");
    expect(fixed.dwFileOS == VOS__WINDOWS32 && fixed.dwFileType == VFT_DLL && fixed.dwFileSubtype == 0,
           "a 32-bit Windows DLL");
  }
  value = nullptr;
  expect(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) != 0 && length == 4 &&
             value != nullptr && static_cast<const WORD*>(value)[0] == 0x0409 &&
             static_cast<const WORD*>(value)[1] == 1252,
         "one translation: US English, code page 1252");

  // CompanyName and LegalCopyright repeat lines 2 and 3 of the about text.
  const std::string about = SW_ABOUT_TEXT;
  const std::size_t firstBreak = about.find('\r'), secondBreak = about.find('\r', firstBreak + 1);
  const std::string webAddress = about.substr(firstBreak + 1, secondBreak - firstBreak - 1);
  const std::string copyright = about.substr(secondBreak + 1);
  const std::string company = narrow(versionString(block, L"CompanyName"));
  expect(company == SW_MAKER_NAME ", " + webAddress, "CompanyName is maker, web address: " + company);
  expect(narrow(versionString(block, L"LegalCopyright")) == copyright, "LegalCopyright is the about text's");
  const std::pair<const wchar_t*, std::string> fixedTexts[] = {
      {L"FileDescription", "Adobe Illustrator CS5 plug-in Tool"},
      {L"FileVersion", "0.1b"},
      {L"OriginalFilename", "slantWarper.aip"},
      {L"ProductVersion", "0.1b"},
  };
  for (const auto& [key, text] : fixedTexts) {
    const std::string found = narrow(versionString(block, key));
    expect(found == text, narrow(key) + " reads \"" + found + "\"");
  }
  internalName = narrow(versionString(block, L"InternalName"));
  productName = narrow(versionString(block, L"ProductName"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: resource_probe PATH\\TO\\slantWarper.aip\n");
    return 2;
  }
  HMODULE plugin = LoadLibraryA(argv[1]);
  if (plugin == nullptr) {
    std::printf("FAIL: cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  std::string pluginName, internalName, productName;
  checkPropertyList(plugin, pluginName);
  checkCursor(plugin);
  checkIcon(plugin);
  checkStrings(plugin);
  checkVersion(argv[1], internalName, productName);

  const std::string stringName = narrow(loadString(plugin, 16002));
  expect(pluginName.size() == 11 && internalName == pluginName && productName == pluginName && stringName == pluginName,
         "'pinm' (" + pluginName + "), InternalName (" + internalName + "), ProductName (" + productName +
             ") and string 16002 (" + stringName + ") are the same 11 characters");
  FreeLibrary(plugin);

  if (failures == 0) std::printf("all resource checks passed\n");
  return failures == 0 ? 0 : 1;
}
