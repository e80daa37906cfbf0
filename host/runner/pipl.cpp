// Reading a plug-in's property list (pipl.h): every length and count checked
// against the bytes there are before anything is read, a malformed list
// refused with a message that says where.
#include "host/runner/pipl.h"

namespace swrunner {

namespace {

constexpr std::uint32_t kVendor = propertyCode("ADBE");
constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kPropertyHeaderSize = 16;

// The code as its four characters, for messages ('wx86').
std::string codeText(std::uint32_t code) {
  std::string text = "'";
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<char>((code >> shift) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text + "'";
}

// Reads little-endian integers, refusing to step past the end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t offset() const { return offset_; }
  std::size_t remaining() const { return bytes_.size() - offset_; }

  std::uint32_t u32(const char* what) { return static_cast<std::uint32_t>(read(4, what)); }
  std::uint16_t u16(const char* what) { return static_cast<std::uint16_t>(read(2, what)); }

  std::span<const std::uint8_t> take(std::size_t count, const std::string& what) {
    if (count > remaining()) {
      throw MalformedPropertyList(what + " runs " + std::to_string(count - remaining()) + " bytes past the end");
    }
    const std::span<const std::uint8_t> part = bytes_.subspan(offset_, count);
    offset_ += count;
    return part;
  }

 private:
  std::uint64_t read(std::size_t width, const char* what) {
    const std::span<const std::uint8_t> part = take(width, what);
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | part[i];
    return value;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

// A NUL-terminated text filling the property's data (zero bytes may pad it);
// only printable ASCII is accepted, as no entry point or name needs more.
std::string readText(std::span<const std::uint8_t> data, const std::string& what) {
  std::size_t length = 0;
  while (length < data.size() && data[length] != 0) ++length;
  if (length == data.size()) throw MalformedPropertyList(what + " has no terminating NUL");
  for (std::size_t i = length; i < data.size(); ++i) {
    if (data[i] != 0) throw MalformedPropertyList(what + " has bytes after its NUL that are not padding");
  }
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    if (data[i] < 0x20 || data[i] > 0x7E)
      throw MalformedPropertyList(what + " holds a character that is not printable");
    text += static_cast<char>(data[i]);
  }
  return text;
}

std::uint32_t readWord(std::span<const std::uint8_t> data, const std::string& what) {
  if (data.size() != 4) {
    throw MalformedPropertyList(what + " has " + std::to_string(data.size()) + " bytes of data, not 4");
  }
  return static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
         (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
}

}  // namespace

PluginProperties readPropertyList(std::span<const std::uint8_t> bytes) {
  Reader reader(bytes);
  if (reader.remaining() < kHeaderSize) {
    throw MalformedPropertyList("the property list has " + std::to_string(bytes.size()) +
                                " bytes, fewer than its 10-byte header");
  }
  const std::uint16_t lead = reader.u16("the lead word");
  const std::uint32_t version = reader.u32("the version");
  const std::uint32_t count = reader.u32("the property count");
  if (lead != 1 || version != 0) {
    throw MalformedPropertyList("unknown property list format (lead word " + std::to_string(lead) + ", version " +
                                std::to_string(version) + "; expected 1 and 0)");
  }
  // Each property takes at least its header: a count the bytes cannot hold
  // is refused before anything is read for it.
  if (count > reader.remaining() / kPropertyHeaderSize) {
    throw MalformedPropertyList("the property count " + std::to_string(count) + " does not fit in " +
                                std::to_string(reader.remaining()) + " bytes");
  }

  PluginProperties properties;
  bool seenKind = false;
  bool seenVersion = false;
  bool seenEntry = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string where = "property " + std::to_string(i + 1);
    const std::uint32_t vendor = reader.u32("a property header");
    const std::uint32_t key = reader.u32("a property header");
    reader.u32("a property header");  // the id: not needed
    const std::uint32_t length = reader.u32("a property header");
    const std::string what = where + " (" + codeText(vendor) + " " + codeText(key) + ")";
    const std::span<const std::uint8_t> data = reader.take(length, what + " with " + std::to_string(length) + " bytes");
    if (vendor != kVendor) continue;

    const auto once = [&](bool& seen) {
      if (seen) throw MalformedPropertyList(what + " appears twice");
      seen = true;
    };
    if (key == propertyCode("kind")) {
      once(seenKind);
      properties.kind = readWord(data, what);
    } else if (key == propertyCode("ivrs")) {
      once(seenVersion);
      properties.interfaceVersion = static_cast<std::int32_t>(readWord(data, what));
    } else if (key == propertyCode("wx86")) {
      once(seenEntry);
      properties.entryPoint = readText(data, what);
      if (properties.entryPoint.empty()) throw MalformedPropertyList(what + " names no entry point");
    } else if (key == propertyCode("pinm")) {
      if (properties.name) throw MalformedPropertyList(what + " appears twice");
      properties.name = readText(data, what);
    }
  }
  if (reader.remaining() != 0) {
    throw MalformedPropertyList(std::to_string(reader.remaining()) + " stray bytes after the last property");
  }
  if (!seenKind) throw MalformedPropertyList("no 'kind' property");
  if (properties.kind != kPluginKind) {
    throw MalformedPropertyList("the plug-in kind is " + codeText(properties.kind) + ", not 'SPEA'");
  }
  if (!seenVersion) throw MalformedPropertyList("no 'ivrs' property");
  if (properties.interfaceVersion != kInterfaceVersion) {
    throw MalformedPropertyList("interface version " + std::to_string(properties.interfaceVersion) + ", not 2");
  }
  if (!seenEntry) throw MalformedPropertyList("no 'wx86' property naming the entry point");
  return properties;
}

}  // namespace swrunner
