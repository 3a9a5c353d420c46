#include "decode/formats/JpegScan.h"

#include "decode/formats/JpegBitReader.h"
#include "decode/formats/JpegHuffman.h"

namespace jpeg {

namespace {

enum class ScanKind { Sequential, DcFirst, DcRefine, AcFirst, AcRefine };

// The running state of one scan: predictors, the end-of-band run, and the
// tables each scan component uses.
struct ScanContext {
  BitReader bits;
  ScanKind kind;
  const ScanHeader& header;
  const HuffmanTable* dc[kMaxComponents] = {};
  const HuffmanTable* ac[kMaxComponents] = {};
  int predictor[kMaxComponents] = {};
  int eobRun = 0;
};

int16_t ToCoefficient(int v) { return static_cast<int16_t>(v); }

bool DecodeDc(ScanContext& s, int i, int& value) {
  const int size = DecodeSymbol(s.bits, *s.dc[i]);
  if (size < 0 || size > 15) return false;
  s.predictor[i] = ToCoefficient(s.predictor[i] + ReceiveExtend(s.bits, size));
  value = s.predictor[i];
  return true;
}

bool DecodeSequential(ScanContext& s, int i, int16_t* block) {
  int dc;
  if (!DecodeDc(s, i, dc)) return false;
  block[0] = ToCoefficient(dc);
  for (int k = 1; k < 64; ++k) {
    const int symbol = DecodeSymbol(s.bits, *s.ac[i]);
    if (symbol < 0) return false;
    const int run = symbol >> 4;
    const int size = symbol & 15;
    if (size == 0) {
      if (run != 15) break;  // end of block
      k += 15;               // sixteen zeros
      continue;
    }
    k += run;
    if (k > 63) return false;
    block[kZigZagToNatural[k]] = ToCoefficient(ReceiveExtend(s.bits, size));
  }
  return true;
}

bool DecodeDcFirst(ScanContext& s, int i, int16_t* block) {
  int dc;
  if (!DecodeDc(s, i, dc)) return false;
  block[0] = ToCoefficient(dc * (1 << s.header.al));
  return true;
}

bool DecodeDcRefine(ScanContext& s, int16_t* block) {
  if (s.bits.Get(1)) block[0] = ToCoefficient(block[0] | (1 << s.header.al));
  return true;
}

bool DecodeAcFirst(ScanContext& s, int16_t* block) {
  if (s.eobRun > 0) {
    --s.eobRun;
    return true;
  }
  const int al = s.header.al;
  for (int k = s.header.ss; k <= s.header.se; ++k) {
    const int symbol = DecodeSymbol(s.bits, *s.ac[0]);
    if (symbol < 0) return false;
    const int run = symbol >> 4;
    const int size = symbol & 15;
    if (size == 0) {
      if (run == 15) {
        k += 15;
        continue;
      }
      // This block ends the band, and so do the next eobRun blocks.
      s.eobRun = (1 << run) - 1;
      if (run) s.eobRun += static_cast<int>(s.bits.Get(run));
      break;
    }
    k += run;
    if (k > s.header.se) return false;
    block[kZigZagToNatural[k]] = ToCoefficient(ReceiveExtend(s.bits, size) * (1 << al));
  }
  return true;
}

// A coefficient already known to be non-zero gets one more bit of
// magnitude when the stream says so.
void RefineNonZero(ScanContext& s, int16_t& coef, int bit) {
  if (s.bits.Get(1) && (coef & bit) == 0) coef = ToCoefficient(coef >= 0 ? coef + bit : coef - bit);
}

bool DecodeAcRefine(ScanContext& s, int16_t* block) {
  const int bit = 1 << s.header.al;
  int k = s.header.ss;
  const int se = s.header.se;
  if (s.eobRun == 0) {
    for (; k <= se; ++k) {
      const int symbol = DecodeSymbol(s.bits, *s.ac[0]);
      if (symbol < 0) return false;
      int run = symbol >> 4;
      const int size = symbol & 15;
      int value = 0;
      if (size != 0) {
        if (size != 1) return false;
        value = s.bits.Get(1) ? bit : -bit;
      } else if (run != 15) {
        s.eobRun = 1 << run;
        if (run) s.eobRun += static_cast<int>(s.bits.Get(run));
        break;
      }
      // Skip `run` zero coefficients (refining the non-zero ones passed on
      // the way), then place the new coefficient on the next zero one.
      for (; k <= se; ++k) {
        int16_t& coef = block[kZigZagToNatural[k]];
        if (coef != 0) {
          RefineNonZero(s, coef, bit);
        } else if (run-- == 0) {
          break;
        }
      }
      if (value != 0) {
        if (k > se) return false;
        block[kZigZagToNatural[k]] = ToCoefficient(value);
      }
    }
  }
  if (s.eobRun > 0) {
    for (; k <= se; ++k) {
      int16_t& coef = block[kZigZagToNatural[k]];
      if (coef != 0) RefineNonZero(s, coef, bit);
    }
    --s.eobRun;
  }
  return true;
}

bool DecodeBlock(ScanContext& s, int i, int16_t* block) {
  switch (s.kind) {
    case ScanKind::Sequential: return DecodeSequential(s, i, block);
    case ScanKind::DcFirst: return DecodeDcFirst(s, i, block);
    case ScanKind::DcRefine: return DecodeDcRefine(s, block);
    case ScanKind::AcFirst: return DecodeAcFirst(s, block);
    case ScanKind::AcRefine: return DecodeAcRefine(s, block);
  }
  return false;
}

ScanKind KindOf(const Frame& frame, const ScanHeader& scan) {
  if (!frame.progressive) return ScanKind::Sequential;
  if (scan.ss == 0) return scan.ah == 0 ? ScanKind::DcFirst : ScanKind::DcRefine;
  return scan.ah == 0 ? ScanKind::AcFirst : ScanKind::AcRefine;
}

// Picks each component's tables and its divisors; false when a table the
// scan needs has not been defined.
bool PrepareTables(JpegDecodeState& state, ScanContext& s) {
  const bool needDc = s.kind == ScanKind::Sequential || s.kind == ScanKind::DcFirst;
  const bool needAc = s.kind == ScanKind::Sequential || s.kind == ScanKind::AcFirst || s.kind == ScanKind::AcRefine;
  for (int i = 0; i < s.header.count; ++i) {
    if (needDc) {
      s.dc[i] = &state.dcTables[s.header.dcSlot[i]];
      if (!s.dc[i]->defined) return false;
    }
    if (needAc) {
      s.ac[i] = &state.acTables[s.header.acSlot[i]];
      if (!s.ac[i]->defined) return false;
    }
    Component& comp = state.frame.components[s.header.componentIndex[i]];
    if (!comp.quantLatched) {
      const QuantTable& q = state.quant[comp.quantSlot];
      if (!q.defined) return false;
      comp.quant = q.natural;
      comp.quantLatched = true;
    }
  }
  return true;
}

bool DecodeMcu(ScanContext& s, Frame& frame, long long mcu) {
  if (s.header.count == 1) {
    // A single-component scan codes the component's own blocks one by one,
    // whatever its sampling factors.
    Component& comp = frame.components[s.header.componentIndex[0]];
    const int bx = static_cast<int>(mcu % comp.blocksWide);
    const int by = static_cast<int>(mcu / comp.blocksWide);
    return DecodeBlock(s, 0, comp.Block(bx, by));
  }
  const int mx = static_cast<int>(mcu % frame.mcusWide);
  const int my = static_cast<int>(mcu / frame.mcusWide);
  for (int i = 0; i < s.header.count; ++i) {
    Component& comp = frame.components[s.header.componentIndex[i]];
    for (int y = 0; y < comp.v; ++y) {
      for (int x = 0; x < comp.h; ++x) {
        if (!DecodeBlock(s, i, comp.Block(mx * comp.h + x, my * comp.v + y))) return false;
      }
    }
  }
  return true;
}

}  // namespace

bool DecodeScan(JpegDecodeState& state, const ScanHeader& scan, const uint8_t* data, size_t size, size_t& pos) {
  Frame& frame = state.frame;
  ScanContext s{BitReader(data, size, pos), KindOf(frame, scan), scan};
  if (!PrepareTables(state, s)) return false;

  long long mcuCount;
  if (scan.count == 1) {
    const Component& comp = frame.components[scan.componentIndex[0]];
    mcuCount = static_cast<long long>(comp.blocksWide) * comp.blocksHigh;
  } else {
    mcuCount = static_cast<long long>(frame.mcusWide) * frame.mcusHigh;
  }
  int nextRestart = 0;
  for (long long mcu = 0; mcu < mcuCount; ++mcu) {
    if (state.restartInterval != 0 && mcu != 0 && mcu % state.restartInterval == 0) {
      if (!s.bits.Restart(nextRestart)) return false;
      nextRestart = (nextRestart + 1) & 7;
      for (int& p : s.predictor) p = 0;
      s.eobRun = 0;
    }
    if (!DecodeMcu(s, frame, mcu) || s.bits.Overrun()) return false;
  }
  pos = s.bits.NextMarkerPosition();
  return true;
}

}  // namespace jpeg

