#include "common/VELKORPSUI/AdvancedDialog.h"

#include <optional>
#include <span>

#include "common/VELKORPSUI/AdvancedOptions.h"
#include "common/VELKORPSUI/OptionsRules.h"
#include "engine/EncodeJob.h"

namespace {

// The value of the checked button of a radio group, if one is checked.
std::optional<int> CheckedValue(ui::DialogToolkit& toolkit, ui::WindowHandle dialog, std::span<const int> values,
                                int firstId) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (toolkit.IsChecked(dialog, firstId + static_cast<int>(i))) return values[i];
  }
  return std::nullopt;
}

void CheckValue(ui::DialogToolkit& toolkit, ui::WindowHandle dialog, std::span<const int> values, int firstId,
                int value) {
  const std::optional<int> id = RadioIdForValue(values, firstId, value);
  if (id) toolkit.CheckRadio(dialog, firstId, firstId + static_cast<int>(values.size()) - 1, *id);
}

}  // namespace

AdvancedDialog::AdvancedDialog(OptionsServices& services, EncodeJob& job, int* maxPasses, ChunkSelection& selection)
    : SimpleDialog(services, job, maxPasses, selection, kAdvancedHelpTopic, kIdToSimple) {}

void AdvancedDialog::Init() {
  SimpleDialog::Init();
  Toolkit().SetSliderRange(m_hWnd, kIdThresholdSlider, 0, kThresholdSliderMax);
  Reset();
  EnableForAnalysis();
}

void AdvancedDialog::Reset() {
  ui::DialogToolkit& toolkit = Toolkit();
  const AdvancedOptions defaults;
  CheckValue(toolkit, m_hWnd, kColorTypeValues, kIdColorTypeFirst, defaults.m_colorType);
  CheckValue(toolkit, m_hWnd, kFilterValues, kIdFilterFirst, defaults.m_filter);
  CheckValue(toolkit, m_hWnd, kBitDepthValues, kIdBitDepthFirst, defaults.m_bitDepth);
  CheckValue(toolkit, m_hWnd, kPaletteOrderValues, kIdPaletteFirst, defaults.m_paletteOrder);
  toolkit.SetText(m_hWnd, kIdThresholdEdit, FormatThreshold(defaults.m_splitThreshold));
  if (const std::optional<int> preset = ThresholdPresetPosition(defaults.m_splitThreshold)) {
    toolkit.SetSliderPos(m_hWnd, kIdThresholdSlider, *preset);
  }
  toolkit.SetSliderPos(m_hWnd, kIdStrategySlider, defaults.m_strategy);
  ShowStrategyName();
  toolkit.SetCheck(m_hWnd, kIdLimitPasses,
                   defaults.m_limitPasses ? ui::ButtonState::Checked : ui::ButtonState::Unchecked);
  toolkit.SetSliderPos(m_hWnd, kIdPassSlider, kPassSliderMax);
  if (defaults.m_limitPasses) *m_maxPasses = defaults.m_maxPasses;
  UpdatePassControls();
}

void AdvancedDialog::Remember() {
  ui::DialogToolkit& toolkit = Toolkit();
  const std::string threshold = toolkit.GetText(m_hWnd, kIdThresholdEdit);
  AdvancedDialogValues values;
  values.colorType = CheckedValue(toolkit, m_hWnd, kColorTypeValues, kIdColorTypeFirst).value_or(-1);
  values.filter = CheckedValue(toolkit, m_hWnd, kFilterValues, kIdFilterFirst).value_or(-1);
  values.bitDepth = CheckedValue(toolkit, m_hWnd, kBitDepthValues, kIdBitDepthFirst).value_or(-1);
  values.optimizePalette = toolkit.IsChecked(m_hWnd, kIdPaletteFirst + kPaletteOptimize);
  values.regeneratePalette = toolkit.IsChecked(m_hWnd, kIdPaletteFirst + kPaletteRegenerate);
  values.thresholdText = threshold;
  values.strategyPosition = toolkit.GetSliderPos(m_hWnd, kIdStrategySlider);
  values.limitPasses = toolkit.IsChecked(m_hWnd, kIdLimitPasses);
  values.passNumber = toolkit.GetInteger(m_hWnd, kIdPassEdit);
  const AdvancedOptions record = BuildAdvancedOptions(values);
  if (record.m_size == AdvancedOptions::kRecordSize) m_services.store.WriteAdvancedOptions(record);
}

ui::MessageResult AdvancedDialog::Message(unsigned message, ui::MessageParam first, ui::LongParam second) {
  ui::DialogToolkit& toolkit = Toolkit();
  const auto control = reinterpret_cast<ui::WindowHandle>(second);
  if (message == ui::kWmHScroll && control != nullptr && control == toolkit.GetControl(m_hWnd, kIdThresholdSlider)) {
    const int position = toolkit.GetSliderPos(m_hWnd, kIdThresholdSlider);
    if (position >= 0 && position <= kThresholdSliderMax) {
      toolkit.SetText(m_hWnd, kIdThresholdEdit, FormatThreshold(kThresholdPresets[static_cast<size_t>(position)]));
    }
    return 0;
  }
  return SimpleDialog::Message(message, first, second);
}

void AdvancedDialog::Ok() {
  ui::DialogToolkit& toolkit = Toolkit();
  m_job.splitthreshold = toolkit.GetDecimal(m_hWnd, kIdThresholdEdit);
  m_job.colortype = CheckedValue(toolkit, m_hWnd, kColorTypeValues, kIdColorTypeFirst).value_or(0);
  if (const std::optional<int> filter = CheckedValue(toolkit, m_hWnd, kFilterValues, kIdFilterFirst)) {
    m_job.filter = *filter;
  }
  if (const std::optional<int> depth = CheckedValue(toolkit, m_hWnd, kBitDepthValues, kIdBitDepthFirst)) {
    m_job.bitdepth = *depth;
  }
  if (toolkit.IsChecked(m_hWnd, kIdPaletteFirst + kPaletteRegenerate)) {
    m_job.keeppal = 0;
    m_job.palcount = 0;
  } else if (toolkit.IsChecked(m_hWnd, kIdPaletteFirst + kPaletteOptimize)) {
    m_job.keeppal = 0;
  } else if (toolkit.IsChecked(m_hWnd, kIdPaletteFirst + kPalettePreserve)) {
    m_job.keeppal = 1;
  }
  SimpleDialog::Ok();
}

void AdvancedDialog::EnableForAnalysis() {
  if (!EnsureColorAnalysis()) return;
  for (const AnalysisEnabling& button : EnablingForAnalysis(m_job.outcolortype, m_job.outbitdepth)) {
    if (button.enabling != Enabling::Leave) Toolkit().Enable(m_hWnd, button.id, button.enabling == Enabling::Enable);
  }
}
