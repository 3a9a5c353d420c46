// velkor-host estimate WxH MODE [--depth N] [--planes N] [--resources BYTES]:
// runs the estimate sequence (9 to 12) on a blank document and prints the
// minimum and maximum data bytes the module asks for.
#include <cstdio>
#include <string>

#include "testhost/Commands.h"
#include "testhost/StandInHost.h"

namespace testhost {

namespace {

bool ParseSize(const std::string& text, int32_t& width, int32_t& height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  try {
    width = static_cast<int32_t>(std::stol(text.substr(0, x)));
    height = static_cast<int32_t>(std::stol(text.substr(x + 1)));
  } catch (...) {
    return false;
  }
  return width >= 0 && height >= 0;
}

int RunEstimate(CommandContext& context) {
  const auto& args = context.args;
  Document& doc = context.host.document();
  if (args.size() < 2 || !ParseSize(args[0], doc.width, doc.height) || ModeFromName(args[1]) < 0) {
    std::fprintf(stderr, "usage: estimate WxH MODE [--depth N] [--planes N] [--resources BYTES]\n");
    return kExitUsage;
  }
  doc.mode = ModeFromName(args[1]);
  int planes = doc.mode == plugInModeRGBColor ? 4 : doc.mode == plugInModeCMYKColor ? 4 : 1;
  int32_t resourceBytes = 0;
  for (size_t i = 2; i + 1 < args.size(); i += 2) {
    const int value = std::stoi(args[i + 1]);
    if (args[i] == "--depth") doc.depth = static_cast<int16_t>(value);
    else if (args[i] == "--planes") planes = value;
    else if (args[i] == "--resources") resourceBytes = value;
    else return kExitUsage;
  }
  // The estimate reads only the sizes; the planes stay unallocated.
  context.host.PrepareRecord();
  FormatRecord& record = context.host.record();
  record.planes = static_cast<int16_t>(planes);
  record.imageRsrcSize = resourceBytes;
  const int16_t result = context.host.RunSequence(context.module, {9, 10, 11, 12});
  std::printf("estimate min %d max %d data %lld maxData %d\n", static_cast<int>(record.minDataBytes),
              static_cast<int>(record.maxDataBytes), static_cast<long long>(context.host.dataSlot()),
              static_cast<int>(record.maxData));
  return result == noErr ? kExitOk : 1;
}

const CommandRegistration kEstimate{"estimate", "estimate WxH MODE [--depth N] [--planes N] [--resources BYTES]",
                                    RunEstimate};

}  // namespace

}  // namespace testhost
