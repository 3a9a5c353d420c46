// The remembered settings of the Advanced options dialog, as one fixed record.
//
// The record is stored as 48 bytes and those bytes are the contract with
// every copy ever written (the Windows build keeps them in the registry, the
// Linux build in its settings file), so the layout below never changes: a
// version and a size first, then the members at fixed offsets, little-endian
// whatever the host's byte order, with the reserved gaps always zero.  The
// struct mirrors that layout one to one so that a reader of the code sees the
// stored form; Serialize and Deserialize spell it out byte by byte instead of
// copying memory, which keeps the stored form independent of the compiler.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

enum PaletteOrder : int16_t {
  kPalettePreserve = 0,
  kPaletteOptimize = 1,
  kPaletteRegenerate = 2,
};

struct AdvancedOptions {
  static constexpr uint32_t kVersion = 1;
  static constexpr uint32_t kRecordSize = 48;
  using Bytes = std::array<uint8_t, kRecordSize>;

  // A default-constructed record is the defaults, reserved bytes zero.
  uint32_t m_version = kVersion;
  uint32_t m_size = kRecordSize;
  int32_t m_colorType = -1;      // -1 automatic, or PNG colour type 0, 2, 3, 4, 6
  int32_t m_filter = -1;         // -1 automatic, 0..4 fixed, 5 adaptive
  int16_t m_bitDepth = -1;       // -1 automatic, or 1, 2, 4, 8
  int16_t m_paletteOrder = kPaletteOptimize;
  uint8_t m_reserved20[4] = {};
  double m_splitThreshold = 256.0;
  int32_t m_strategy = 0;        // 0 "Xtreme!" .. 4 "No compression"
  uint8_t m_limitPasses = 0;     // 1 = stop after m_maxPasses passes
  uint8_t m_reserved37[3] = {};
  int32_t m_maxPasses = 10;
  uint8_t m_reserved44[4] = {};

  // The stored bytes.  Reserved bytes are written as zero.
  Bytes Serialize() const;

  // The record held by stored bytes, or nothing when they are not a record
  // this build can trust: the length, m_size and m_version must match, and
  // every member must hold one of its documented values.
  static std::optional<AdvancedOptions> Deserialize(std::span<const uint8_t> bytes);

  // True when every member holds one of its documented values.
  bool HasValidMembers() const;
};

static_assert(sizeof(AdvancedOptions) == AdvancedOptions::kRecordSize);
static_assert(offsetof(AdvancedOptions, m_splitThreshold) == 24);
static_assert(offsetof(AdvancedOptions, m_limitPasses) == 36);
static_assert(offsetof(AdvancedOptions, m_maxPasses) == 40);

// What the Advanced dialog's controls show when the user asks to remember
// them, already read from the controls.
struct AdvancedDialogValues {
  int colorType = -1;
  int filter = -1;
  int bitDepth = -1;
  bool optimizePalette = false;
  bool regeneratePalette = false;
  std::string_view thresholdText;  // the threshold edit box
  int strategyPosition = 0;        // the strategy slider
  bool limitPasses = false;        // the Limit Passes check box
  int passNumber = 0;              // the number in the pass edit box
};

// The record remembered from the dialog: the defaults, overwritten member by
// member from the controls.
AdvancedOptions BuildAdvancedOptions(const AdvancedDialogValues& values);

// The number a threshold edit box holds: its leading decimal number, 0.0
// when it does not start with one (the dialog shows "?" for an unknown
// threshold) or when the number is not finite.
double ParseThresholdText(std::string_view text);
