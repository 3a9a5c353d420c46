// The stored (uncompressed) zlib stream: "No compression", and the fallback
// when compression does not pay.  One stored block per row keeps the row
// structure visible in the file; a row longer than a stored block's limit
// of 65,535 bytes is continued in further blocks, so any width stays valid.

#include "engine/EngineContext.h"
#include "engine/PngWriter.h"
#include "engine/RowPacking.h"
#include "engine/deflate/Adler32.h"
#include "engine/deflate/BlockWriter.h"

namespace deflate {

namespace {

// Sends the bytes of one row, opening a new stored block whenever the
// current one is full.  BFINAL goes only on the block that ends the last row.
class StoredRowWriter {
 public:
  StoredRowWriter(EngineContext& ctx, int64_t rowLength, bool lastRow)
      : m_ctx(ctx), m_rowLeft(rowLength), m_lastRow(lastRow) {}

  void Put(uint8_t b) {
    if (m_blockLeft == 0) OpenBlock();
    PutByte(m_ctx, b);
    m_ctx.deflate.adler = AdlerByte(m_ctx.deflate.adler, b);
    --m_blockLeft;
    --m_rowLeft;
  }

 private:
  void OpenBlock() {
    const int64_t n = m_rowLeft < kMaxStoredBlockBytes ? m_rowLeft : kMaxStoredBlockBytes;
    const bool final = m_lastRow && n == m_rowLeft;
    PutByte(m_ctx, final ? 1 : 0);  // BFINAL, BTYPE 00, no padding bits
    PutByte(m_ctx, uint8_t(n));
    PutByte(m_ctx, uint8_t(n >> 8));
    PutByte(m_ctx, uint8_t(~n));
    PutByte(m_ctx, uint8_t(~n >> 8));
    m_blockLeft = n;
  }

  EngineContext& m_ctx;
  int64_t m_rowLeft;
  int64_t m_blockLeft = 0;
  bool m_lastRow;
};

}  // namespace

bool StoredStream(EngineContext& ctx) {
  const EncodeJob& job = *ctx.job;
  const bool indexed = ctx.colortype == 0 || ctx.colortype == 3;
  const int depth = indexed ? ctx.bitdepth : 8;
  if (!WriteHeader(ctx, job.width, job.height, ctx.colortype, depth, indexed ? ctx.palette : nullptr,
                   indexed ? ctx.palcount : 0)) {
    return false;
  }
  ctx.idatStart = ctx.outPos;
  ctx.outPos += 4;  // the IDAT length, stored once the stream is complete
  static const uint8_t kOpening[6] = {'I', 'D', 'A', 'T', 0x78, 0x01};
  PutBytes(ctx, kOpening, sizeof kOpening);
  ctx.deflate.adler = 1;
  const int64_t rowLength = StoredRowLength(ctx.colortype, job.width, depth);
  for (int y = 0; y < job.height; ++y) {
    StoredRowWriter row(ctx, rowLength, y == job.height - 1);
    row.Put(0);  // filter type None
    PackStoredRow(ctx, y, [&row](uint8_t b) { row.Put(b); });
  }
  PutBigEndian32(ctx, ctx.deflate.adler);
  return true;
}

}  // namespace deflate
