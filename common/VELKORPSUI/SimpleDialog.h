// The Simple options dialog (template 105): Brumlex strategy, pass limit,
// Keep Chunks, help, and the switch to the Advanced dialog.  The Advanced
// dialog derives from it and shares its pass controls, its Alt relabelling
// and its OK.
//
// While Alt is held the Cancel and Help buttons turn into Reset and
// Remember.  The key is watched by a keyboard hook on the dialog's thread
// (a hook for every thread of the session would load the module into other
// programs); one dialog at a time owns the relabelling.
#pragma once

#include <cstdint>

#include "common/VELKORPSUI/OptionsServices.h"
#include "ui/ModalDialog.h"

struct EncodeJob;
class ChunkSelection;

class SimpleDialog : public ui::ModalDialog {
 public:
  SimpleDialog(OptionsServices& services, EncodeJob& job, int* maxPasses, ChunkSelection& selection);

  void Init() override;
  void Command(unsigned code, int id) override;
  void Destroyed() override;
  void Ok() override;
  ui::MessageResult Message(unsigned message, ui::MessageParam first, ui::LongParam second) override;

  // Stores the dialog's settings.
  virtual void Remember();
  // Sets the controls from the stored settings (Simple) or the defaults
  // (Advanced).
  virtual void Reset();

  bool AltHeld() const { return m_alt != 0; }

 protected:
  SimpleDialog(OptionsServices& services, EncodeJob& job, int* maxPasses, ChunkSelection& selection,
               const char* helpTopic, int switchId);

  // Enables the pass controls when Limit is ticked, else disables them and
  // drops the limit; then shows the limit in the pass edit.
  void UpdatePassControls();
  void ShowStrategyName();
  void RunKeepChunks();
  // Runs the colour analysis unless the job already holds its results;
  // marks the selection grey for a grey image.  False when it failed.
  bool EnsureColorAnalysis();

  ui::WindowHandle m_strategyLabel = nullptr;
  ui::WindowHandle m_passEdit = nullptr;
  const char* m_helpTopic;
  EncodeJob& m_job;
  int* m_maxPasses;
  uint8_t m_alt = 0;
  ChunkSelection& m_selection;
  OptionsServices& m_services;
  int m_switchId;  // the button that ends the dialog to open the other one

 private:
  static void AltHook(int virtualKey, bool keyUp);
  void Relabel(bool altDown);
};
