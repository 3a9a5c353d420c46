#include "cli/ResultCheck.h"

#include <algorithm>
#include <cstdio>

#include "common/pngchunks/ChunkBytes.h"
#include "decode/ImageDecode.h"
#include "engine/deflate/Adler32.h"

namespace {

// The result's chunks and its image data streams, inflated.
struct ReadBack {
  PngFileScan scan;
  std::vector<DataStream> streams;
  std::vector<std::vector<uint8_t>> filtered;
};

std::string StreamName(size_t stream) { return stream == 0 ? "image data" : "frame " + std::to_string(stream); }

std::string At(size_t index, uint32_t width) {
  return "(" + std::to_string(index % width) + ", " + std::to_string(index / width) + ")";
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// The zlib stream as stored: the stream's chunk data joined, past the
// sequence numbers of fdAT.
std::vector<uint8_t> CompressedBytes(const uint8_t* file, const PngFileScan& scan, const DataStream& stream) {
  std::vector<uint8_t> bytes;
  for (size_t i : stream.chunkIndexes) {
    const ScannedChunk& chunk = scan.chunks[i];
    if (chunk.length > stream.skip) bytes.insert(bytes.end(), chunk.Data(file) + stream.skip, chunk.Data(file) + chunk.length);
  }
  return bytes;
}

// Deflate, a window of at most 32 KB, no preset dictionary, check bits.
bool SoundZlibHeader(const std::vector<uint8_t>& zlib) {
  if (zlib.size() < 6) return false;
  const unsigned cmf = zlib[0], flg = zlib[1];
  return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0 && (flg & 0x20) == 0;
}

// What any reader checks before it trusts the bytes: the chunk structure,
// then each stream's header, length and Adler-32.
std::string ReadResult(const std::vector<uint8_t>& png, ReadBack& out) {
  out.scan = ScanPngFile(png.data(), png.size());
  const PngFileScan& scan = out.scan;
  if (!scan.isPng || !scan.hasIhdr) return "no PNG header";
  for (const ScannedChunk& chunk : scan.chunks) {
    if (!chunk.crcOk) return "CRC error in " + chunk.type;
  }
  if (!scan.complete) return "no IEND chunk";
  if (scan.trailingBytes > 0) return "bytes after IEND";
  if (!FindDataStreams(scan, png.data(), out.streams)) return "no image data, or malformed animation chunks";
  out.filtered.resize(out.streams.size());
  for (size_t s = 0; s < out.streams.size(); ++s) {
    const std::vector<uint8_t> zlib = CompressedBytes(png.data(), scan, out.streams[s]);
    if (!SoundZlibHeader(zlib)) return StreamName(s) + ": bad zlib header";
    if (!InflateDataStream(png.data(), scan, out.streams[s], out.filtered[s])) return StreamName(s) + " damaged";
    const std::vector<uint8_t>& rows = out.filtered[s];
    if (chunks::ReadBe32(zlib.data() + zlib.size() - 4) != deflate::AdlerBytes(1, rows.data(), rows.size())) {
      return StreamName(s) + ": wrong Adler-32";
    }
  }
  return "";
}

// Palette indices must name entries the PLTE has: what a reader shows for
// the others is its own guess, so matching pixels would prove nothing.
std::string CheckPaletteIndices(const std::vector<uint8_t>& png, const ReadBack& result) {
  if (result.scan.colorType != 3) return "";
  const size_t entries = FirstChunkData(result.scan, png.data(), "PLTE").size() / 3;
  std::vector<uint16_t> indices;
  if (!ImageSamples(result.streams[0].layout, result.filtered[0], indices)) return "image data damaged";
  const auto beyond = std::find_if(indices.begin(), indices.end(), [&](uint16_t i) { return i >= entries; });
  if (beyond == indices.end()) return "";
  return "pixel " + At(size_t(beyond - indices.begin()), result.scan.width) + " uses palette entry " +
         std::to_string(*beyond) + " of " + std::to_string(entries);
}

std::string ComparePixels(const std::vector<uint32_t>& rendered, const std::vector<uint32_t>& expected, uint32_t width) {
  const auto diff = std::mismatch(rendered.begin(), rendered.end(), expected.begin());
  if (diff.first == rendered.end()) return "";
  return "pixel " + At(size_t(diff.first - rendered.begin()), width) + " is " + Hex(*diff.first) + ", the input's " +
         Hex(*diff.second);
}

// A 16-bit source reduced to 8 bits, against its own 16-bit samples: each
// rendered channel v stands for v * 257, and a pixel equal to the tRNS
// colour is transparent.
std::string CompareWithWideSource(const SourceImage& source, const std::vector<uint32_t>& rendered) {
  std::vector<DataStream> streams;
  std::vector<uint8_t> rows;
  std::vector<uint16_t> samples;
  if (!FindDataStreams(source.scan, source.bytes.data(), streams) ||
      !InflateDataStream(source.bytes.data(), source.scan, streams[0], rows) ||
      !ImageSamples(streams[0].layout, rows, samples)) {
    return "the input's 16-bit samples cannot be read again";
  }
  const int colorType = source.scan.colorType;
  const size_t channels = size_t(streams[0].layout.Channels());
  const std::vector<uint8_t> trns = FirstChunkData(source.scan, source.bytes.data(), "tRNS");
  const bool keyed = (colorType == 0 || colorType == 2) && trns.size() == 2 * channels;
  for (size_t i = 0; i < rendered.size(); ++i) {
    const uint16_t* s = &samples[i * channels];
    bool transparent = keyed;
    for (size_t c = 0; c < channels && keyed; ++c) transparent = transparent && s[c] == chunks::ReadBe16(&trns[2 * c]);
    const bool grey = colorType == 0 || colorType == 4;
    const uint16_t alpha = channels == 2 || channels == 4 ? s[channels - 1] : transparent ? 0 : 0xFFFF;
    const uint16_t expected[4] = {s[0], grey ? s[0] : s[1], grey ? s[0] : s[2], alpha};
    const uint32_t argb = rendered[i];
    const uint16_t actual[4] = {uint16_t((argb >> 16 & 0xFF) * 257), uint16_t((argb >> 8 & 0xFF) * 257),
                                uint16_t((argb & 0xFF) * 257), uint16_t((argb >> 24) * 257)};
    if (!std::equal(actual, actual + 4, expected)) {
      char text[96];
      std::snprintf(text, sizeof text, " is %04X %04X %04X %04X (RGBA), the input's %04X %04X %04X %04X", actual[0],
                    actual[1], actual[2], actual[3], expected[0], expected[1], expected[2], expected[3]);
      return "pixel " + At(i, source.scan.width) + text;
    }
  }
  return "";
}

// A re-encoded image: rendered by the decoding library into a frame the
// size of the source's, prefilled with the complement of the expected
// pixels so that a pixel the decoder never writes cannot pass.
std::string CompareReencoded(const SourceImage& source, const std::vector<uint8_t>& png, const ReadBack& result) {
  if (result.streams.size() != 1) return "animation chunks in a still image";
  const std::string palette = CheckPaletteIndices(png, result);
  if (!palette.empty()) return palette;
  std::vector<uint32_t> rendered(source.pixels.size());
  std::transform(source.pixels.begin(), source.pixels.end(), rendered.begin(), [](uint32_t v) { return ~v; });
  if (ImageRender(png.data(), png.size(), rendered.data(), source.width * 4, source.width, source.height, 0, 0) < 0) {
    return "the decoder rejects it";
  }
  if (source.isPng && source.scan.bitDepth == 16) return CompareWithWideSource(source, rendered);
  return ComparePixels(rendered, source.pixels, uint32_t(source.width));
}

// fcTL and acTL as they stand, and each fdAT's sequence number: the
// animation a reader plays.
std::vector<std::string> AnimationControl(const PngFileScan& scan, const uint8_t* file) {
  std::vector<std::string> control;
  for (const ScannedChunk& chunk : scan.chunks) {
    const bool whole = chunk.type == "acTL" || chunk.type == "fcTL";
    if (!whole && chunk.type != "fdAT") continue;
    const size_t length = whole ? chunk.length : std::min<size_t>(chunk.length, 4);
    control.push_back(chunk.type + std::string(reinterpret_cast<const char*>(chunk.Data(file)), length));
  }
  return control;
}

// An image whose format was kept: same header (interlacing may be
// dropped), palette, transparency and animation, and the same samples in
// every stream.
std::string CompareKeptFormat(const SourceImage& source, const std::vector<uint8_t>& png, const ReadBack& result) {
  const uint8_t* in = source.bytes.data();
  const std::vector<uint8_t> ihdrIn = FirstChunkData(source.scan, in, "IHDR");
  const std::vector<uint8_t> ihdrOut = FirstChunkData(result.scan, png.data(), "IHDR");
  if (!std::equal(ihdrIn.begin(), ihdrIn.begin() + 12, ihdrOut.begin()) || (ihdrOut[12] != ihdrIn[12] && ihdrOut[12] != 0)) {
    return "IHDR differs from the input's";
  }
  for (const char* type : {"PLTE", "tRNS"}) {
    if (type[0] == 'P' && source.scan.colorType != 3) continue;  // a suggested palette may go
    if (FirstChunkData(source.scan, in, type) != FirstChunkData(result.scan, png.data(), type)) {
      return std::string(type) + " differs from the input's";
    }
  }
  if (AnimationControl(source.scan, in) != AnimationControl(result.scan, png.data())) {
    return "animation chunks differ from the input's";
  }
  if (result.streams.size() != source.streams.size()) return "a different number of frames";
  std::vector<uint16_t> before, after;
  for (size_t s = 0; s < source.streams.size(); ++s) {
    if (!ImageSamples(source.streams[s].layout, source.filtered[s], before) ||
        !ImageSamples(result.streams[s].layout, result.filtered[s], after) || before.size() != after.size()) {
      return StreamName(s) + " does not fit its frame";
    }
    const auto diff = std::mismatch(after.begin(), after.end(), before.begin());
    if (diff.first != after.end()) {
      const ImageLayout& layout = source.streams[s].layout;
      const size_t pixel = size_t(diff.first - after.begin()) / size_t(layout.Channels());
      return StreamName(s) + ": pixel " + At(pixel, layout.width) + " differs from the input's";
    }
  }
  return "";
}

}  // namespace

std::string CheckResult(const SourceImage& source, const std::vector<uint8_t>& png) {
  ReadBack result;
  const std::string unsound = ReadResult(png, result);
  if (!unsound.empty()) return unsound;
  if (result.scan.width != uint32_t(source.width) || result.scan.height != uint32_t(source.height)) {
    return "size " + std::to_string(result.scan.width) + "x" + std::to_string(result.scan.height) + ", the input's " +
           std::to_string(source.width) + "x" + std::to_string(source.height);
  }
  return source.recompress ? CompareKeptFormat(source, png, result) : CompareReencoded(source, png, result);
}
