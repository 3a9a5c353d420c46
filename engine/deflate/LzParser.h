// The match finder and cheapest-path parser.
//
// DeflateInit resets the search structures at every pass start; LzParse takes
// the filtered bytes one at a time (n = 0 flushes at the end of the image)
// and commits stretches of the cheapest path to the block writer.
#pragma once

#include <cstdint>
#include <memory>

struct EngineContext;

namespace deflate {

struct ParserState;
struct ParserStateDeleter {
  void operator()(ParserState* state) const;
};
using ParserStatePtr = std::unique_ptr<ParserState, ParserStateDeleter>;

// Allocates the parser's fixed arrays (about 18 MB); once per run context.
ParserStatePtr CreateParserState();

void DeflateInit(EngineContext& ctx);
void PrepareBlock(EngineContext& ctx, int block);
// The most bytes one call may append: the input ring must still hold every
// byte a search can reach back to (a window and a look-ahead behind the
// newest).
constexpr int kMaxParseInput = 16384;
void LzParse(EngineContext& ctx, const uint8_t* bytes, int n);

}  // namespace deflate
