#include "common/VELKORPSUI/OptionsRules.h"

#include <cstdio>

namespace {

constexpr std::array<const char*, 5> kStrategyNames = {"Xtreme!", "Intense", "Longest match", "Huffman only",
                                                       "No compression"};

}  // namespace

const char* StrategyName(int position) {
  if (position < 0 || position > kStrategySliderMax) return nullptr;
  return kStrategyNames[static_cast<size_t>(position)];
}

std::optional<int> ThresholdPresetPosition(double threshold) {
  for (size_t i = 0; i < kThresholdPresets.size(); ++i) {
    if (kThresholdPresets[i] == threshold) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::string FormatThreshold(double threshold) {
  char text[512];
  std::snprintf(text, sizeof text, "%f", threshold);
  return text;
}

int PassSliderPositionForEdit(IntegerStatus status, int value) {
  const int number = status == IntegerStatus::NotANumber ? 0 : value;
  return number >= 0 && number <= kPassSliderMax ? number : kPassSliderMax + 1;
}

std::string PassText(bool limited, int maxPasses) {
  return limited && maxPasses >= 1 ? std::to_string(maxPasses) : std::string();
}

int PassLimitOnOk(bool limited, int editNumber) { return limited && editNumber > 0 ? editNumber : 0; }

std::optional<int> RadioIdForValue(std::span<const int> values, int firstId, int value) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i] == value) return firstId + static_cast<int>(i);
  }
  return std::nullopt;
}

std::array<AnalysisEnabling, 8> EnablingForAnalysis(int colorType, int bitDepth) {
  auto onlyWhen = [](bool condition) { return condition ? Enabling::Enable : Enabling::Disable; };
  const bool knownDepth = bitDepth > 0;
  return {{
      {kIdColorGray, onlyWhen(colorType == 0)},
      {kIdColorGrayAlpha, onlyWhen(colorType == 0 || colorType == 4)},
      {kIdColorRgb, colorType == 6 ? Enabling::Disable : Enabling::Leave},
      {kIdColorPalette, onlyWhen(colorType == 3 || colorType == 0)},
      {kIdBitDepthFirst + 1, onlyWhen(bitDepth == 1)},
      {kIdBitDepthFirst + 2, onlyWhen(knownDepth && bitDepth <= 2)},
      {kIdBitDepthFirst + 3, onlyWhen(knownDepth && bitDepth <= 4)},
      {kIdBitDepthFirst + 4, onlyWhen(knownDepth && bitDepth <= 8)},
  }};
}
