// The rules of the Simple and Advanced options dialogs that do not need a
// window: control ids, what each radio button stands for, the strategy names,
// the threshold presets, how the pass edit moves the pass slider, and which
// colour types and bit depths the colour analysis leaves enabled.
//
// The dialogs apply these to their controls; keeping them here lets every
// rule be checked in a table without a window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Templates of the two options dialogs.
inline constexpr int kSimpleDialogTemplate = 105;
inline constexpr int kAdvancedDialogTemplate = 106;

// Controls shared by both dialogs.
inline constexpr int kIdStrategySlider = 1011;
inline constexpr int kIdStrategyName = 1012;
inline constexpr int kIdPassSlider = 1014;
inline constexpr int kIdPassEdit = 1015;
inline constexpr int kIdToAdvanced = 1016;  // Simple only; also the "Save Dialog" value
inline constexpr int kIdSmallerBuddy = 1017;
inline constexpr int kIdLargerBuddy = 1018;
inline constexpr int kIdPassLowBuddy = 1019;
inline constexpr int kIdPassHighBuddy = 1020;
inline constexpr int kIdToSimple = 1022;  // Advanced only; also the "Save Dialog" value
inline constexpr int kIdLimitPasses = 1066;
inline constexpr int kIdHelpOrRemember = 1068;
inline constexpr int kIdCancelOrReset = 1069;
inline constexpr int kIdKeepChunks = 1071;

// Advanced only.
inline constexpr int kIdColorTypeFirst = 1037;  // Auto, Palette, Gray, Gray+Alpha, RGB, RGB+Alpha
inline constexpr int kIdColorTypeLast = 1042;
inline constexpr int kIdColorPalette = 1038;
inline constexpr int kIdColorGray = 1039;
inline constexpr int kIdColorGrayAlpha = 1040;
inline constexpr int kIdColorRgb = 1041;
inline constexpr int kIdFilterFirst = 1043;  // Auto, None, Sub, Up, Average, Paeth, Adaptive
inline constexpr int kIdFilterLast = 1049;
inline constexpr int kIdBitDepthFirst = 1050;  // Auto, 1, 2, 4, 8
inline constexpr int kIdBitDepthLast = 1054;
inline constexpr int kIdThresholdSlider = 1055;
inline constexpr int kIdThresholdEdit = 1056;
inline constexpr int kIdPaletteFirst = 1057;  // Preserve, Optimize, Regenerate
inline constexpr int kIdPaletteLast = 1059;

inline constexpr int kStrategySliderMax = 4;
inline constexpr int kPassSliderMin = 1;
inline constexpr int kPassSliderMax = 10;
inline constexpr int kThresholdSliderMax = 10;

// Button texts while Alt is up and while it is held.
inline constexpr char kCancelText[] = "&Cancel";
inline constexpr char kHelpText[] = "&Help";
inline constexpr char kResetText[] = "Reset";
inline constexpr char kRememberText[] = "Remember";

inline constexpr char kSimpleHelpTopic[] = "Simple.htm";
inline constexpr char kAdvancedHelpTopic[] = "Advanced.htm";

// The name shown for a strategy slider position; null outside 0..4, where
// the label keeps what it shows.
const char* StrategyName(int position);

// The block split threshold of each slider position 0..10; the last, 0,
// means no splitting by threshold.
inline constexpr std::array<double, 11> kThresholdPresets = {96,  128, 192,  256,  384, 512,
                                                             768, 1024, 2048, 4096, 0};

// The slider position whose preset equals `threshold` exactly, if any.
std::optional<int> ThresholdPresetPosition(double threshold);

// A threshold as the edit box shows it ("%f": 256 -> "256.000000").
std::string FormatThreshold(double threshold);

// Reading an integer from an edit box within a range, as the control
// operations report it.
enum class IntegerStatus { InRange, OutOfRange, NotANumber };

// Where the pass slider goes when the pass edit holds `value` (`status` as
// read within 1..255): the number when it is 0..10, else one past the right
// end, which the slider shows at its end.  A text that is no number counts
// as 0.
int PassSliderPositionForEdit(IntegerStatus status, int value);

// The pass edit's text: the limit in decimal when the box is set and a limit
// of one pass or more is known, else empty.
std::string PassText(bool limited, int maxPasses);

// The limit OK takes from the pass edit's number (0 when it holds none):
// the number when the box is set, 0 (no limit) for a negative number or a
// clear box.
int PassLimitOnOk(bool limited, int editNumber);

// Values behind the radio buttons, in id order from the first id of each
// group.
inline constexpr std::array<int, 6> kColorTypeValues = {-1, 3, 0, 4, 2, 6};
inline constexpr std::array<int, 7> kFilterValues = {-1, 0, 1, 2, 3, 4, 5};
inline constexpr std::array<int, 5> kBitDepthValues = {-1, 1, 2, 4, 8};
inline constexpr std::array<int, 3> kPaletteOrderValues = {0, 1, 2};

// The id of the button standing for `value` in a group starting at
// `firstId`, or nothing when no button does.
std::optional<int> RadioIdForValue(std::span<const int> values, int firstId, int value);

// How the colour analysis leaves a button: enabled, disabled, or as it is.
enum class Enabling { Enable, Disable, Leave };

struct AnalysisEnabling {
  int id;
  Enabling enabling;
};

// The colour type and bit depth buttons the analysis result `colorType`,
// `bitDepth` decides on.  Auto, RGB+Alpha and the other groups are never
// touched.
std::array<AnalysisEnabling, 8> EnablingForAnalysis(int colorType, int bitDepth);
