// The Advanced options dialog (template 106): the Simple dialog's strategy
// and pass limit plus colour type, filter, bit depth, palette order and the
// block split threshold.
//
// It always opens at the defaults of the settings record, whatever was
// remembered: Remember stores the record for later use, Reset goes back to
// the defaults.  Only the colour types and bit depths that can hold the
// image stay enabled, found by the colour analysis.
#pragma once

#include "common/VELKORPSUI/SimpleDialog.h"

class AdvancedDialog final : public SimpleDialog {
 public:
  AdvancedDialog(OptionsServices& services, EncodeJob& job, int* maxPasses, ChunkSelection& selection);

  void Init() override;
  void Ok() override;
  ui::MessageResult Message(unsigned message, ui::MessageParam first, ui::LongParam second) override;
  void Remember() override;
  void Reset() override;

 private:
  void EnableForAnalysis();
};
