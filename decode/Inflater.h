// Inflater: a resumable decoder of deflate streams (RFC 1951), optionally
// behind a zlib header (RFC 1950), shared by the PNG decoder and by the stream
// layer's deflated ZIP members.
//
// Input is pulled from an InflateInput that hands out contiguous spans (one
// IDAT chunk's data, one buffer of a file), so a stream may cross any number
// of spans without the caller joining them.  Output is pushed into a 32 KB
// circular window; the caller takes it out in contiguous pieces and the
// inflater only resumes decoding when asked for more.  Because suspension
// happens only between symbols while the window still has room for a whole
// match, the resumable state is small: the block kind, the stored bytes still
// to copy and the current code tables.
//
// The literal/length code is decoded through a 512-entry table indexed by the
// next 9 input bits and the distance code through a 64-entry table indexed by
// the next 6; longer codes fall back to a canonical bit-by-bit walk.
//
// Hostile input: over-subscribed or incomplete code tables (apart from the
// single-code case deflate allows), repeat codes that run past the declared
// lengths, a block without an end-of-block code, distances reaching before the
// start of the output, reserved symbols, a stored block whose NLEN does not
// complement LEN, and a stream that needs bits past the end of its input all
// end decoding with an error.  The Adler-32 trailer is not read.
#pragma once

#include <cstddef>
#include <cstdint>

// Supplies compressed bytes in spans.  Next returns false when there is no
// more input; the span it returns must stay valid until the following call.
class InflateInput {
 public:
  virtual bool Next(const uint8_t*& data, size_t& size) = 0;

 protected:
  ~InflateInput() = default;
};

// One buffer the caller holds, handed out as a single span.
class WholeBufferInput final : public InflateInput {
 public:
  WholeBufferInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Next(const uint8_t*& data, size_t& size) override {
    if (m_done || m_size == 0) return false;
    m_done = true;
    data = m_data;
    size = m_size;
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  bool m_done = false;
};

class Inflater {
 public:
  static constexpr unsigned kWindowSize = 32768;

  enum class Status { Ok, End, Error };

  // User-provided on purpose: value-initialisation (make_unique) would
  // otherwise zero the 32 KB window before every decode, which Start makes
  // unnecessary.
  Inflater() {}

  // zlibHeader: the stream starts with the two-byte zlib header, which is
  // read and ignored.
  void Start(InflateInput* input, bool zlibHeader);

  // Points piece at the next contiguous run of decoded bytes (at most
  // kWindowSize / 2 at a time) and marks it consumed: the bytes stay valid
  // until the next call.  End once the final block is done and every byte
  // has been handed out; Error on corrupt data.
  Status NextPiece(const uint8_t*& piece, size_t& size);

  // Copies up to n decoded bytes to out; returns the count, 0 at the end of
  // the stream, -1 on corrupt data.
  long long Read(uint8_t* out, size_t n);

  // Total bytes handed out since Start.
  uint64_t produced() const { return m_handedOut; }
  // Canonical code with the fast lookup table.  Entries of the fast table are
  // symbol << 4 | length; length 0 means the code is longer than the table
  // (or unused) and the canonical walk decides.
  struct HuffmanCode {
    uint16_t fast[512];
    uint16_t count[16];
    uint16_t symbols[288];
    bool Build(const uint8_t* lengths, int n, unsigned fastBits, bool allowSingle);
  };

 private:
  enum class Block { None, Stored, Coded };

  void Refill();
  uint32_t TakeBits(unsigned n);
  bool Overran() const { return m_phantomBits > m_bitCount; }
  bool DecodeSymbol(const HuffmanCode& code, unsigned fastBits, int& symbol);

  bool BeginBlock();
  bool ReadDynamicCodes();
  bool RunStored(uint64_t limit);
  bool RunCoded(uint64_t limit);
  // Decodes until at least a piece is pending or the stream ends.
  Status Produce();
  // The next contiguous run of pending bytes, decoding more when none is.
  Status Pending(const uint8_t*& data, size_t& size);

  InflateInput* m_input = nullptr;
  const uint8_t* m_in = nullptr;
  const uint8_t* m_inEnd = nullptr;
  uint64_t m_bits = 0;
  unsigned m_bitCount = 0;
  unsigned m_phantomBits = 0;  // zero bits added after the input ran out

  Block m_block = Block::None;
  bool m_lastBlock = false;
  bool m_failed = false;
  uint32_t m_storedLeft = 0;

  bool m_inputDone = false;

  uint8_t m_window[kWindowSize];
  uint64_t m_written = 0;     // bytes decoded into the window since Start
  uint64_t m_handedOut = 0;   // bytes given to the caller since Start

 private:
  HuffmanCode m_literal;
  HuffmanCode m_distance;
  const HuffmanCode* m_lit = nullptr;   // m_literal, or the fixed code
  const HuffmanCode* m_dist = nullptr;
};
