// Reading the plug-in property list: the library's own 106-byte list, and
// lists that are cut short, lie about their lengths or describe something
// else, which must be refused without reading a byte past the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/runner/pipl.h"

namespace {

using swrunner::MalformedPropertyList;
using swrunner::propertyCode;
using swrunner::readPropertyList;

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Bytes& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes word(std::uint32_t value) {
  Bytes bytes;
  put32(bytes, value);
  return bytes;
}

Bytes text(const std::string& value, std::size_t length) {
  Bytes bytes(value.begin(), value.end());
  bytes.resize(length, 0);
  return bytes;
}

struct Property {
  std::uint32_t vendor;
  std::uint32_t key;
  Bytes data;
  std::uint32_t length;  // as written in the header
};

Property adbe(const char (&key)[5], Bytes data) {
  const auto length = static_cast<std::uint32_t>(data.size());
  return Property{propertyCode("ADBE"), propertyCode(key), std::move(data), length};
}

// The library's list: kind 'SPEA', interface version 2, entry point
// "PluginMain" (11 bytes padded to 12), name "slantWarper".
std::vector<Property> standardProperties() {
  return {adbe("kind", word(propertyCode("SPEA"))), adbe("ivrs", word(2)), adbe("wx86", text("PluginMain", 12)),
          adbe("pinm", text("slantWarper", 12))};
}

Bytes list(const std::vector<Property>& properties, std::uint32_t count, std::uint16_t lead = 1) {
  Bytes bytes;
  put16(bytes, lead);
  put32(bytes, 0);
  put32(bytes, count);
  for (const Property& p : properties) {
    put32(bytes, p.vendor);
    put32(bytes, p.key);
    put32(bytes, 0);
    put32(bytes, p.length);
    bytes.insert(bytes.end(), p.data.begin(), p.data.end());
  }
  return bytes;
}

Bytes list(const std::vector<Property>& properties) {
  return list(properties, static_cast<std::uint32_t>(properties.size()));
}

// Expects the list refused with a message containing `what`.
void expectRefused(const Bytes& bytes, const std::string& what) {
  try {
    readPropertyList(bytes);
    ADD_FAILURE() << "accepted";
  } catch (const MalformedPropertyList& error) {
    EXPECT_NE(std::string(error.what()).find(what), std::string::npos) << error.what();
  }
}

TEST(PropertyList, TheLibrarysListNamesItsEntryPoint) {
  const Bytes bytes = list(standardProperties());
  ASSERT_EQ(bytes.size(), 106u);
  // Four-character codes are stored in reverse: 'ADBE' reads "EBDA".
  EXPECT_EQ(std::string(bytes.begin() + 10, bytes.begin() + 14), "EBDA");
  const swrunner::PluginProperties properties = readPropertyList(bytes);
  EXPECT_EQ(properties.kind, swrunner::kPluginKind);
  EXPECT_EQ(properties.interfaceVersion, 2);
  EXPECT_EQ(properties.entryPoint, "PluginMain");
  EXPECT_EQ(properties.name, "slantWarper");
}

TEST(PropertyList, OtherVendorsAndUnknownKeysAreSkipped) {
  std::vector<Property> properties = standardProperties();
  properties.insert(properties.begin(), Property{propertyCode("XXXX"), propertyCode("wx86"), text("Other", 8), 8});
  properties.push_back(adbe("extr", text("anything at all", 20)));
  properties.erase(properties.begin() + 4);  // no name: it is optional
  const swrunner::PluginProperties read = readPropertyList(list(properties));
  EXPECT_EQ(read.entryPoint, "PluginMain");
  EXPECT_FALSE(read.name);
}

TEST(PropertyList, EveryTruncationIsRefused) {
  const Bytes whole = list(standardProperties());
  for (std::size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE(size);
    // A copy of exactly `size` bytes, so that the sanitizer sees any read past it.
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_THROW(readPropertyList(cut), MalformedPropertyList);
  }
}

TEST(PropertyList, LengthsAndCountsAreNeverTrusted) {
  std::vector<Property> huge = standardProperties();
  huge[2].length = 0xFFFFFFFF;
  expectRefused(list(huge), "past the end");
  std::vector<Property> longByOne = standardProperties();
  longByOne[3].length = 13;
  expectRefused(list(longByOne), "property 4 ('ADBE' 'pinm') with 13 bytes runs 1 bytes past the end");
  expectRefused(list(standardProperties(), 0xFFFFFFFF), "does not fit");
  expectRefused(list(standardProperties(), 5), "a property header runs 4 bytes past the end");
  Bytes trailing = list(standardProperties());
  trailing.push_back(0);
  expectRefused(trailing, "1 stray bytes");
  expectRefused(list(standardProperties(), 4, 2), "unknown property list format");
}

TEST(PropertyList, ListsForAnotherKindOfPluginOrEntryAreRefused) {
  const auto with = [](std::size_t index, Property replacement) {
    std::vector<Property> properties = standardProperties();
    properties[index] = std::move(replacement);
    return list(properties);
  };
  const auto without = [](std::size_t index) {
    std::vector<Property> properties = standardProperties();
    properties.erase(properties.begin() + static_cast<std::ptrdiff_t>(index));
    return list(properties);
  };
  expectRefused(without(0), "no 'kind'");
  expectRefused(without(1), "no 'ivrs'");
  expectRefused(without(2), "no 'wx86'");
  expectRefused(with(0, adbe("kind", word(propertyCode("SPEB")))), "'SPEB', not 'SPEA'");
  expectRefused(with(0, adbe("kind", text("SPEA", 8))), "8 bytes of data, not 4");
  expectRefused(with(1, adbe("ivrs", word(3))), "interface version 3");
  expectRefused(with(2, adbe("wx86", text("PluginMainXY", 12))), "no terminating NUL");
  expectRefused(with(2, adbe("wx86", Bytes{})), "no terminating NUL");
  expectRefused(with(2, adbe("wx86", text("", 4))), "names no entry point");
  expectRefused(with(2, adbe("wx86", Bytes{'M', 'a', 0, 'X'})), "not padding");
  expectRefused(with(2, adbe("wx86", Bytes{'M', 0x01, 0, 0})), "not printable");
  expectRefused(with(3, adbe("wx86", text("Other", 8))), "appears twice");
}

}  // namespace
