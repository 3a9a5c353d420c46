// What the options and Keep Chunks dialogs use from outside themselves,
// handed to them as one context by whoever runs them (the write path, or a
// test): the toolkit that shows them, the settings store, the host's abort
// question and result slot for the colour analysis, the host's colour
// picker, and the help viewer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "common/VELKORPSUI/AnalyzeColors.h"
#include "common/VELKORPSUI/SettingsStore.h"
#include "ui/DialogToolkit.h"

// The host's colour services: its colour picker and its colour conversion.
// Components are the host's four 16-bit values of a colour space.
class ColorServices {
 public:
  static constexpr int kRgbSpace = 0;
  static constexpr int kGreySpace = 4;
  using Components = std::array<int16_t, 4>;

  virtual ~ColorServices() = default;
  // Shows the picker with `prompt`, asking in `space` and starting at
  // `colour`.  True when the user accepted; `colour` and `space` then hold
  // the answer.
  virtual bool ChooseColor(std::string_view prompt, int& space, Components& colour) = 0;
  // Converts `colour` from `space` to RGB in place.  False when the host
  // cannot.
  virtual bool ConvertToRgb(int space, Components& colour) = 0;
};

struct OptionsServices {
  ui::DialogToolkit& toolkit;
  ui::InstanceSource source;
  SettingsStore& store;
  AnalysisHost& analysisHost;
  ColorServices* colors;  // null when the host offers no colour services
  // Opens the help file at a topic ("Simple.htm"), owned by a dialog.
  std::function<void(ui::WindowHandle owner, const char* topic)> openHelp;
};
