#include "engine/EngineContext.h"

EngineContext::EngineContext()
    : parser(deflate::CreateParserState()),
      snapshot(size_t(deflate::kMaxBlocks) * deflate::kSymbols),
      bestSnapshot(size_t(deflate::kMaxBlocks) * deflate::kSymbols) {
  deflate.blocks.reset(new deflate::BlockState[deflate::kMaxBlocks]());
}

EngineContext::~EngineContext() = default;
