// velkor-host pipl: lists the module's plug-in properties as a host reads
// them, one line per property: key, vendor, length, data bytes in hex.
// velkor-host resource TYPE ID OUT: writes a resource's bytes to a file.
#include <cstdio>
#include <string>

#include "host/HostInterface.h"
#include "testhost/Commands.h"
#include "testhost/Module.h"

namespace testhost {

namespace {

uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

// A four-character code stored as a little-endian number.
std::string CodeText(uint32_t code) {
  return {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

int RunPipl(CommandContext& context) {
  auto pipl = context.module.Resource(FourCC("PiPL"), 16000);
  if (!pipl) {
    std::printf("no PiPL 16000\n");
    return 1;
  }
  const std::vector<uint8_t>& bytes = *pipl;
  if (bytes.size() < 10) {
    std::printf("PiPL too short\n");
    return 1;
  }
  const uint32_t count = ReadLe32(bytes, 6);
  std::printf("PiPL 16000: version %u, %u properties\n", ReadLe32(bytes, 2), count);
  size_t at = 10;
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 16 > bytes.size()) {
      std::printf("PiPL ends inside property %u\n", i + 1);
      return 1;
    }
    const uint32_t length = ReadLe32(bytes, at + 12);
    if (length > bytes.size() - at - 16) {
      std::printf("PiPL property %u runs past the end\n", i + 1);
      return 1;
    }
    std::printf("%s %s %u", CodeText(ReadLe32(bytes, at + 4)).c_str(), CodeText(ReadLe32(bytes, at)).c_str(),
                length);
    for (uint32_t k = 0; k < length; ++k) std::printf(" %02x", bytes[at + 16 + k]);
    std::printf("\n");
    at += 16 + length;
  }
  if (at != bytes.size()) std::printf("PiPL has %zu bytes after its properties\n", bytes.size() - at);
  return at == bytes.size() ? kExitOk : 1;
}

int RunResource(CommandContext& context) {
  if (context.args.size() != 3 || context.args[0].size() != 4) {
    std::fprintf(stderr, "usage: resource TYPE ID OUT\n");
    return kExitUsage;
  }
  const std::string& type = context.args[0];
  const OSType code = OSType(uint8_t(type[0])) << 24 | OSType(uint8_t(type[1])) << 16 |
                      OSType(uint8_t(type[2])) << 8 | OSType(uint8_t(type[3]));
  auto bytes = context.module.Resource(code, std::stoi(context.args[1]));
  if (!bytes) {
    std::printf("no resource %s %s\n", type.c_str(), context.args[1].c_str());
    return 1;
  }
  FILE* out = std::fopen(context.args[2].c_str(), "wb");
  if (out == nullptr) return 1;
  const bool written = std::fwrite(bytes->data(), 1, bytes->size(), out) == bytes->size();
  std::fclose(out);
  std::printf("resource %s %s: %zu bytes\n", type.c_str(), context.args[1].c_str(), bytes->size());
  return written ? kExitOk : 1;
}

int RunVersion(CommandContext& context) {
  auto version = context.module.ProductVersion();
  std::printf("ProductVersion %s\n", version ? version->c_str() : "(none)");
  return version ? kExitOk : 1;
}

const CommandRegistration kPipl{"pipl", "pipl", RunPipl};
const CommandRegistration kResource{"resource", "resource TYPE ID OUT", RunResource};
const CommandRegistration kVersion{"version", "version", RunVersion};

}  // namespace

}  // namespace testhost
