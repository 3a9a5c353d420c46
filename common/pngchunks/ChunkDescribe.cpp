// The one-line texts the Keep Chunks list shows beside each chunk.
//
// Every text is cut to the caller's buffer and always ends in a zero.  Data
// is read only within m_Length: a text chunk without the zero byte that ends
// its keyword is all keyword, and a chunk too short for the numbers its type
// carries is left undescribed (the buffer keeps what it held, as it does for
// an sRGB rendering intent that has no name).
#include <cstdio>
#include <string>
#include <string_view>

#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkTime.h"
#include "common/pngchunks/GreyLevel.h"
#include "common/pngchunks/PngChunk.h"

namespace chunks {
namespace {

// Numeric texts are formatted into a buffer of this size first.
constexpr size_t kNumericText = 256;

void PutText(char* text, size_t size, std::string_view value) {
  if (size == 0) return;
  const size_t n = value.size() < size - 1 ? value.size() : size - 1;
  value.copy(text, n);
  text[n] = '\0';
}

template <typename... Args>
void PutFormatted(char* text, size_t size, const char* format, Args... args) {
  char formatted[kNumericText];
  std::snprintf(formatted, sizeof formatted, format, args...);
  PutText(text, size, formatted);
}

// The bytes from `from` up to the first zero byte or the end of the data.
std::string_view ZeroTerminated(const uint8_t* data, uint32_t length, size_t from) {
  if (from >= length) return {};
  const char* start = reinterpret_cast<const char*>(data + from);
  const std::string_view rest(start, length - from);
  return rest.substr(0, rest.find('\0'));
}

void DescribePhys(const uint8_t* data, char* text, size_t size) {
  const uint32_t x = ReadBe32(data);
  const uint32_t y = ReadBe32(data + 4);
  if (data[8] == 1) {
    PutFormatted(text, size, "%dx%d pixels per meter (%.1fx%.1f dpi)", static_cast<int32_t>(x),
                 static_cast<int32_t>(y), x * 0.0254, y * 0.0254);
  } else {
    PutFormatted(text, size, "%dx%d pixels per unknown unit", static_cast<int32_t>(x),
                 static_cast<int32_t>(y));
  }
}

void DescribeChromaticities(const uint8_t* data, char* text, size_t size) {
  static constexpr const char* kNames[4] = {"WP", "R", "G", "B"};
  std::string out;
  char point[64];
  for (int i = 0; i < 4; ++i) {
    std::snprintf(point, sizeof point, "%s%s(%g, %g)", i == 0 ? "" : ", ", kNames[i],
                  ReadBe32(data + 8 * i) / 100000.0, ReadBe32(data + 8 * i + 4) / 100000.0);
    out += point;
  }
  PutText(text, size, std::string_view(out).substr(0, kNumericText - 1));
}

void DescribeTime(const uint8_t* data, char* text, size_t size) {
  std::string out = "Image last-modification time";
  const ChunkMoment moment = ReadChunkMoment(data);
  std::string date;
  std::string time;
  if (FormatChunkDate(moment, date)) {
    out += ": " + date;
    if (FormatChunkTime(moment, time)) out += " " + time;
    out += " UTC";
  }
  PutText(text, size, out);
}

void DescribeRenderingIntent(uint8_t intent, char* text, size_t size) {
  static constexpr const char* kIntents[4] = {"Perceptual", "Relative colorimetric", "Saturation",
                                              "Absolute colorimetric"};
  if (intent < 4) PutText(text, size, kIntents[intent]);
}

void DescribeText(const uint8_t* data, uint32_t length, char* text, size_t size) {
  const std::string_view keyword = ZeroTerminated(data, length, 0);
  std::string out(keyword);
  out += '=';
  out += ZeroTerminated(data, length, keyword.size() + 1);
  PutText(text, size, out);
}

}  // namespace

bool PngChunk::Describe(char* text, size_t size) const {
  if (m_pChunk == nullptr) return false;
  const uint8_t* data = Data();
  if (type == kPHYS) {
    if (m_Length >= 9) DescribePhys(data, text, size);
  } else if (type == kSPLT) {
    PutText(text, size, "Suggested palette: " + std::string(ZeroTerminated(data, m_Length, 0)));
  } else if (type == kHIST) {
    PutText(text, size, "Palette histogram");
  } else if (type == kVPAG) {
    PutText(text, size, "ImageMagick: virtual page width/height");
  } else if (type == kSBIT) {
    PutText(text, size, "Significant bits");
  } else if (type == kCHRM) {
    if (m_Length >= 32) DescribeChromaticities(data, text, size);
  } else if (type == kICCP || type == kITXT || type == kZTXT) {
    PutText(text, size, ZeroTerminated(data, m_Length, 0));
  } else if (type == kTRNS) {
    PutText(text, size, "Alpha values");
  } else if (type == kTIME) {
    if (m_Length >= 7) DescribeTime(data, text, size);
  } else if (type == kGAMA) {
    if (m_Length >= 4) PutFormatted(text, size, "File gamma=%.5f", ReadBe32(data) / 100000.0);
  } else if (type == kSRGB) {
    if (m_Length >= 1) DescribeRenderingIntent(data[0], text, size);
  } else if (type == kBKGD) {
    PutText(text, size, "Background color");
  } else if (type == kTEXT) {
    DescribeText(data, m_Length, text, size);
  } else {
    PutText(text, size, "Unrecognized private chunk");
  }
  return true;
}

bool PngChunk::DescribeBackground(char* text, size_t size, int colorType, int bitDepth) const {
  if (!Is(kBKGD)) return false;
  const uint8_t* data = Data();
  if (m_Length == 6) {
    const bool deep = bitDepth > 8;
    PutFormatted(text, size, "Background = r(%d), g(%d), b(%d)", deep ? 0 : ReadBe16(data),
                 deep ? 0 : ReadBe16(data + 2), deep ? 0 : ReadBe16(data + 4));
    return true;
  }
  if (colorType == 3) {
    if (m_Length != 1) return false;
    PutFormatted(text, size, "Background = Palette index %d", data[0]);
    return true;
  }
  if (colorType == 0 || colorType == 4) {
    if (m_Length != 2) return false;
    uint32_t level = 0;
    if (bitDepth <= 8 && !GreyLevel(ReadBe16(data), bitDepth, level)) return false;
    PutFormatted(text, size, "Background = Gray %d", static_cast<int>(level));
    return true;
  }
  return false;
}

}  // namespace chunks
