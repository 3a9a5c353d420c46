#include "common/VELKORPSUI/SimpleDialog.h"

#include "common/VELKORPSUI/ChunkSelection.h"
#include "common/VELKORPSUI/KeepChunksDialog.h"
#include "common/VELKORPSUI/OptionsRules.h"
#include "common/VELKORPSUI/SettingsPacking.h"
#include "common/pngchunks/ChunkBytes.h"
#include "engine/EncodeJob.h"

namespace {

// The dialog whose buttons the Alt key relabels; one at a time.
SimpleDialog* s_altOwner = nullptr;

constexpr int kPassControls[] = {kIdPassEdit, kIdPassSlider, kIdPassLowBuddy, kIdPassHighBuddy};
constexpr int kMaxPassNumber = 255;

bool HasAnalysisResults(const EncodeJob& job) {
  return job.outpal != nullptr || job.outpalcount != 0 || job.outfilter != 0 || job.outcolortype != 0 ||
         job.outbitdepth != 0;
}

}  // namespace

SimpleDialog::SimpleDialog(OptionsServices& services, EncodeJob& job, int* maxPasses, ChunkSelection& selection)
    : SimpleDialog(services, job, maxPasses, selection, kSimpleHelpTopic, kIdToAdvanced) {}

SimpleDialog::SimpleDialog(OptionsServices& services, EncodeJob& job, int* maxPasses, ChunkSelection& selection,
                           const char* helpTopic, int switchId)
    : ui::ModalDialog(services.toolkit),
      m_helpTopic(helpTopic),
      m_job(job),
      m_maxPasses(maxPasses),
      m_selection(selection),
      m_services(services),
      m_switchId(switchId) {}

void SimpleDialog::Init() {
  ui::DialogToolkit& toolkit = Toolkit();
  m_strategyLabel = toolkit.GetControl(m_hWnd, kIdStrategyName);
  m_passEdit = toolkit.GetControl(m_hWnd, kIdPassEdit);
  // The buttons start as the template has them.  Alt may have gone down in
  // an earlier showing of this dialog (Alt+A) and come up in another one.
  m_alt = 0;
  s_altOwner = this;
  toolkit.InstallKeyboardHook(AltHook);
  toolkit.SetSliderRange(m_hWnd, kIdStrategySlider, 0, kStrategySliderMax);
  toolkit.SetSliderBuddy(m_hWnd, kIdStrategySlider, kIdSmallerBuddy, true);
  toolkit.SetSliderBuddy(m_hWnd, kIdStrategySlider, kIdLargerBuddy, false);
  toolkit.SetSliderRange(m_hWnd, kIdPassSlider, kPassSliderMin, kPassSliderMax);
  toolkit.SetSliderBuddy(m_hWnd, kIdPassSlider, kIdPassLowBuddy, true);
  toolkit.SetSliderBuddy(m_hWnd, kIdPassSlider, kIdPassHighBuddy, false);
  Reset();
}

void SimpleDialog::Reset() {
  ui::DialogToolkit& toolkit = Toolkit();
  uint32_t strategy = static_cast<uint32_t>(m_job.strategy);
  m_services.store.ReadNumber(kStrategyValue, strategy);
  toolkit.SetSliderPos(m_hWnd, kIdStrategySlider, static_cast<int>(strategy));

  uint32_t limit = 0;
  m_services.store.ReadNumber(kLimitPassesValue, limit);
  *m_maxPasses = UnpackPassLimit(limit);
  if (*m_maxPasses == 0) {
    toolkit.SetCheck(m_hWnd, kIdLimitPasses, ui::ButtonState::Unchecked);
  } else {
    toolkit.SetSliderPos(m_hWnd, kIdPassSlider, *m_maxPasses);
    toolkit.SetCheck(m_hWnd, kIdLimitPasses, ui::ButtonState::Checked);
  }
  toolkit.SetSliderPos(m_hWnd, kIdPassSlider, kPassSliderMax);
  ShowStrategyName();
  UpdatePassControls();
}

void SimpleDialog::Remember() {
  ui::DialogToolkit& toolkit = Toolkit();
  m_services.store.WriteNumber(kStrategyValue, PackStrategy(toolkit.GetSliderPos(m_hWnd, kIdStrategySlider)));
  m_services.store.WriteNumber(kLimitPassesValue, PackPassLimit(toolkit.IsChecked(m_hWnd, kIdLimitPasses),
                                                                toolkit.GetInteger(m_hWnd, kIdPassEdit)));
}

void SimpleDialog::Command(unsigned code, int id) {
  ui::DialogToolkit& toolkit = Toolkit();
  if (id == kIdPassEdit) {
    if (code != ui::kEnChange) return;
    const ui::RangedInteger number = toolkit.GetIntegerInRange(m_hWnd, kIdPassEdit, 1, kMaxPassNumber);
    const IntegerStatus status = number.status == ui::RangeStatus::InRange      ? IntegerStatus::InRange
                                 : number.status == ui::RangeStatus::OutOfRange ? IntegerStatus::OutOfRange
                                                                                : IntegerStatus::NotANumber;
    toolkit.SetSliderPos(m_hWnd, kIdPassSlider, PassSliderPositionForEdit(status, number.value));
    return;
  }
  if (code != ui::kBnClicked) return;
  if (id == kIdLimitPasses) {
    UpdatePassControls();
  } else if (id == kIdHelpOrRemember) {
    if (m_alt) {
      Remember();
    } else if (m_services.openHelp) {
      m_services.openHelp(m_hWnd, m_helpTopic);
    }
  } else if (id == kIdCancelOrReset) {
    if (m_alt) {
      Reset();
    } else {
      toolkit.PostCommand(m_hWnd, ui::kIdCancel);
    }
  } else if (id == kIdKeepChunks) {
    RunKeepChunks();
  } else if (id == m_switchId) {
    toolkit.EndDialog(m_hWnd, m_switchId);
  }
}

ui::MessageResult SimpleDialog::Message(unsigned message, ui::MessageParam first, ui::LongParam second) {
  (void)first;
  if (message != ui::kWmHScroll) return 0;
  ui::DialogToolkit& toolkit = Toolkit();
  const auto slider = reinterpret_cast<ui::WindowHandle>(second);
  if (slider == nullptr) return 0;
  if (slider == toolkit.GetControl(m_hWnd, kIdStrategySlider)) {
    ShowStrategyName();
  } else if (slider == toolkit.GetControl(m_hWnd, kIdPassSlider)) {
    *m_maxPasses = toolkit.GetSliderPos(m_hWnd, kIdPassSlider);
    toolkit.SetText(m_hWnd, kIdPassEdit, PassText(toolkit.IsChecked(m_hWnd, kIdLimitPasses), *m_maxPasses));
  }
  return 0;
}

void SimpleDialog::Destroyed() {
  Toolkit().RemoveKeyboardHook();
  if (s_altOwner == this) s_altOwner = nullptr;
}

void SimpleDialog::Ok() {
  ui::DialogToolkit& toolkit = Toolkit();
  *m_maxPasses = PassLimitOnOk(toolkit.IsChecked(m_hWnd, kIdLimitPasses), toolkit.GetInteger(m_hWnd, kIdPassEdit));
  const int strategy = toolkit.GetSliderPos(m_hWnd, kIdStrategySlider);
  if (strategy >= 0 && strategy <= kStrategySliderMax) m_job.strategy = strategy;

  m_job.bkgd = 0;
  chunks::FlatChunks kept;
  if (m_selection.BuildKeptChunks(kept)) {
    // The old block stays with the chunk store, which the write path moves
    // on to the new one; only the old pointer array is ours to free.
    chunks::FreeChunkArray(m_job.chunks);
    m_job.chunks = kept.chunks;
    m_job.chunkpre = kept.chunkpre;
    m_job.chunkmid = kept.chunkmid;
    m_job.chunkpost = kept.chunkpost;
    m_job.chunkcount = kept.chunkcount;
    m_job.bkgd = m_selection.m_background;
  }
  toolkit.EndDialog(m_hWnd, ui::kIdOk);
}

void SimpleDialog::UpdatePassControls() {
  ui::DialogToolkit& toolkit = Toolkit();
  const bool limited = toolkit.IsChecked(m_hWnd, kIdLimitPasses);
  for (int id : kPassControls) toolkit.Enable(m_hWnd, id, limited);
  if (!limited) *m_maxPasses = 0;
  toolkit.SetText(m_hWnd, kIdPassEdit, PassText(limited, *m_maxPasses));
}

void SimpleDialog::ShowStrategyName() {
  const char* name = StrategyName(Toolkit().GetSliderPos(m_hWnd, kIdStrategySlider));
  if (name != nullptr) Toolkit().SetText(m_hWnd, kIdStrategyName, name);
}

bool SimpleDialog::EnsureColorAnalysis() {
  if (!HasAnalysisResults(m_job) && !AnalyzeColors(m_job, m_services.analysisHost)) return false;
  if (m_job.outcolortype == 0 || m_job.outcolortype == 4) m_selection.m_grey = 1;
  return true;
}

void SimpleDialog::RunKeepChunks() {
  EnsureColorAnalysis();
  KeepChunksDialog dialog(m_services, m_selection);
  if (dialog.RunModal(m_services.source, "Keep Chunks", kKeepChunksDialogTemplate) != ui::kIdOk) return;
  m_selection = dialog.Selection();
  m_job.bkgd = m_selection.m_background;
  m_job.palcount = m_selection.m_paletteCount;
}

void SimpleDialog::AltHook(int virtualKey, bool keyUp) {
  if (virtualKey != ui::kVirtualKeyAlt || s_altOwner == nullptr) return;
  s_altOwner->Relabel(!keyUp);
}

void SimpleDialog::Relabel(bool altDown) {
  m_alt = altDown ? 1 : 0;
  Toolkit().SetText(m_hWnd, kIdCancelOrReset, altDown ? kResetText : kCancelText);
  Toolkit().SetText(m_hWnd, kIdHelpOrRemember, altDown ? kRememberText : kHelpText);
}
