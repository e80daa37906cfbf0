// The plug-in property list a host reads from a plug-in library before it
// calls any code: what kind of plug-in it is, which interface version it
// speaks and which exported function to call.
//
// Layout (all integers little-endian): a 16-bit lead word (1), a 32-bit
// version (0) and a 32-bit property count, then the properties back to back,
// each a vendor code, a key, an id and a data length (32 bits each) followed
// by that many bytes of data. Four-character codes are 32-bit integers whose
// first character is the most significant byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace swrunner {

// A four-character code as the property list stores it.
constexpr std::uint32_t propertyCode(const char (&text)[5]) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
}

inline constexpr std::uint32_t kPluginKind = propertyCode("SPEA");
inline constexpr std::int32_t kInterfaceVersion = 2;
inline constexpr int kPropertyListResourceId = 16000;
inline constexpr const char* kPropertyListResourceType = "PIPL";

// What a host needs from the list ('ADBE' properties 'kind', 'ivrs', 'wx86'
// and, if present, 'pinm').
struct PluginProperties {
  std::uint32_t kind = 0;
  std::int32_t interfaceVersion = 0;
  std::string entryPoint;  // the exported function to call
  std::optional<std::string> name;
};

class MalformedPropertyList : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a property list. Every length and count is checked against the bytes
// actually there before it is used, and the list must end exactly after its
// last property. Throws MalformedPropertyList naming the first fault:
// truncation, a length past the end, a missing or repeated property the host
// needs, a text without its NUL, or a plug-in of another kind or version.
PluginProperties readPropertyList(std::span<const std::uint8_t> bytes);

}  // namespace swrunner
