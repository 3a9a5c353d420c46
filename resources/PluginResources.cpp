#include "resources/PluginResources.h"

#include <cstring>
#include <string_view>

namespace resources {

namespace {

constexpr uint32_t Code(const char (&text)[5]) {
  return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
         uint32_t(uint8_t(text[3]));
}

class ResourceBytes {
 public:
  void U8(uint8_t value) { m_bytes.push_back(value); }
  void Le16(uint16_t value) {
    U8(uint8_t(value));
    U8(uint8_t(value >> 8));
  }
  void Le32(uint32_t value) {
    Le16(uint16_t(value));
    Le16(uint16_t(value >> 16));
  }
  void FourCC(uint32_t code) { Le32(code); }
  // A length byte, then the text; no fill after it.
  void PascalString(std::string_view text) {
    U8(uint8_t(text.size()));
    Raw(text);
  }
  void CString(std::string_view text) {
    Raw(text);
    U8(0);
  }
  void Raw(std::string_view text) { m_bytes.insert(m_bytes.end(), text.begin(), text.end()); }
  void PadTo4() {
    while (m_bytes.size() % 4 != 0) U8(0);
  }
  void Append(const std::vector<uint8_t>& more) { m_bytes.insert(m_bytes.end(), more.begin(), more.end()); }
  size_t size() const { return m_bytes.size(); }
  std::vector<uint8_t> Take() { return std::move(m_bytes); }

 private:
  std::vector<uint8_t> m_bytes;
};

// One property: vendor, key, id 0, the data's length padded to four bytes,
// then the data and its padding.
void Property(ResourceBytes& list, uint32_t key, ResourceBytes data) {
  data.PadTo4();
  list.FourCC(Code("8BIM"));
  list.FourCC(key);
  list.Le32(0);
  list.Le32(uint32_t(data.size()));
  list.Append(data.Take());
}

ResourceBytes Bytes(void (*fill)(ResourceBytes&)) {
  ResourceBytes bytes;
  fill(bytes);
  return bytes;
}

}  // namespace

std::vector<uint8_t> BuildPipl() {
  ResourceBytes list;
  constexpr uint32_t kPropertyCount = 17;
  list.Le16(1);  // reserved word of the resource
  list.Le32(0);  // property list version
  list.Le32(kPropertyCount);
  Property(list, Code("kind"), Bytes([](ResourceBytes& b) { b.FourCC(Code("8BIF")); }));
  Property(list, Code("name"), Bytes([](ResourceBytes& b) { b.PascalString("VELKOR"); }));
  Property(list, Code("vers"), Bytes([](ResourceBytes& b) { b.Le32(0x00010000); }));
  Property(list, Code("wx86"), Bytes([](ResourceBytes& b) { b.CString("PluginMain"); }));
  Property(list, Code("hstm"), Bytes([](ResourceBytes& b) {
             b.Le32(0);
             b.FourCC(Code("vlkr"));
             b.FourCC(Code("null"));
             b.Le16(uint16_t(kTerminologyId));
             b.CString("Quenbury Imaging, LLC VELKOR");
           }));
  // Indexed and RGB: the mode word 0x3000, high byte first.
  Property(list, Code("mode"), Bytes([](ResourceBytes& b) {
             b.U8(0x30);
             b.U8(0x00);
           }));
  Property(list, Code("enbl"), Bytes([](ResourceBytes& b) { b.CString("true"); }));
  Property(list, Code("ms32"), Bytes([](ResourceBytes& b) {
             b.Le32(2147483647);
             b.Le32(2147483647);
           }));
  Property(list, Code("mxsz"), Bytes([](ResourceBytes& b) {
             b.Le16(32767);
             b.Le16(32767);
           }));
  // Bitmap, Grayscale, Indexed, RGB, CMYK, HSL, HSB, Multichannel, Duotone,
  // Lab, Gray16, RGB48.
  Property(list, Code("mxch"), Bytes([](ResourceBytes& b) {
             for (uint16_t channels : {1, 4, 4, 4, 4, 4, 4, 4, 4, 24, 4, 4}) b.Le16(channels);
           }));
  Property(list, Code("fmTC"), Bytes([](ResourceBytes& b) {
             b.FourCC(Code("PNG "));
             b.FourCC(Code("8BIM"));
           }));
  Property(list, Code("fftT"), Bytes([](ResourceBytes& b) {
             b.FourCC(Code("8B1F"));
             b.FourCC(Code("    "));
           }));
  Property(list, Code("RdEx"), Bytes([](ResourceBytes& b) { b.FourCC(Code("PNG ")); }));
  Property(list, Code("WrEx"), Bytes([](ResourceBytes& b) { b.FourCC(Code("PNG ")); }));
  Property(list, Code("fftE"), Bytes([](ResourceBytes& b) { b.FourCC(Code("PNG ")); }));
  // Saves image resources, can read, can write, can write if read, can
  // write transparency, can create thumbnail; does not read all types.
  Property(list, Code("fmtf"), Bytes([](ResourceBytes& b) { b.U8(0x7E); }));
  Property(list, Code("fmip"), Bytes([](ResourceBytes& b) { b.Le32(0); }));
  return list.Take();
}

std::vector<uint8_t> BuildAete() {
  ResourceBytes b;
  b.Le16(1);
  b.U8(1);  // format version major
  b.U8(0);  // minor
  b.Le16(0);  // language
  b.Le16(0);  // script
  b.Le16(1);  // suites
  b.PascalString("Quenbury Imaging, LLC");
  b.PascalString("VELKOR Optimized PNG plug-in");
  b.FourCC(Code("qnbr"));
  b.Le16(1);  // level
  b.Le16(1);  // version
  b.Le16(0);  // events
  b.Le16(1);  // classes
  b.PascalString("Quenbury Imaging, LLC VELKOR");
  b.FourCC(Code("vlkr"));
  b.PascalString("Optimized PNG file format module");
  b.Le16(3);  // properties
  struct PropertyTerm {
    const char* name;
    uint32_t key;
    uint32_t type;
    const char* description;
  };
  // The inheritance key is the code whose four characters are c @ # ^.
  constexpr uint32_t kInheritanceKey = 0x6340235E;
  static constexpr PropertyTerm kProperties[] = {
      {"<Inheritance>", kInheritanceKey, Code("Fmt "), "parent class format"},
      {"foo", Code("fooB"), Code("bool"), "foobar"},
      {"bar", Code("barF"), Code("bool"), "foobar"},
  };
  for (const PropertyTerm& property : kProperties) {
    b.PascalString(property.name);
    b.FourCC(property.key);
    b.FourCC(property.type);
    b.PascalString(property.description);
    b.Le16(0x1000);
  }
  b.Le16(0);  // elements
  b.Le16(0);  // comparison operators
  b.Le16(0);  // enumerations
  return b.Take();
}

}  // namespace resources
