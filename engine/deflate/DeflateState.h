// The compressor's per-run state shared by the bit writer, the block writer,
// the Huffman coder, the parser and the splitter.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/deflate/BlockState.h"
#include "engine/deflate/DeflateTables.h"

namespace deflate {

struct ParserState;  // the match finder and cheapest-path parser (LzParser.h)

struct DeflateState {
  // Bit writer.
  uint32_t bitBuffer = 0;
  int bitCount = 0;
  uint32_t crc = 0;     // running CRC register over the IDAT type and data
  uint32_t adler = 1;   // Adler-32 of the bytes fed to the compressor

  // Blocks of the run; lengths survive from pass to pass.
  std::unique_ptr<BlockState[]> blocks;  // kMaxBlocks entries, allocated once per context
  int numBlocks = 1;
  int blockIndex = 0;
  uint32_t codes[kSymbols];  // code words of the current block, bit-reversed
  int32_t savedBits = 0;     // bits the new lengths save against this pass's

  CodeTables tables;
};

}  // namespace deflate
