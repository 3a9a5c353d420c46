#include "common/VELKORPSUI/RunOptionsDialog.h"

#include "common/VELKORPSUI/AdvancedDialog.h"
#include "common/VELKORPSUI/ChunkSelection.h"
#include "common/VELKORPSUI/OptionsRules.h"
#include "common/VELKORPSUI/SimpleDialog.h"

bool RunOptionsDialog(OptionsServices& services, EncodeJob& job, uint8_t sourceColorType, uint8_t sourceBitDepth,
                      int* maxPasses) {
  ChunkSelection selection = ChunkSelection::Build(job, sourceColorType, sourceBitDepth);
  KeepList remembered;
  if (services.store.ReadKeepList(remembered)) selection.ApplyKeepList(remembered);

  SimpleDialog simple(services, job, maxPasses, selection);
  AdvancedDialog advanced(services, job, maxPasses, selection);
  int choice = services.store.ReadDialogChoice();
  for (;;) {
    const bool showAdvanced = choice == kIdToAdvanced;
    SimpleDialog& dialog = showAdvanced ? advanced : simple;
    const ui::MessageResult result = dialog.RunModal(services.source, "VELKOR",
                                                     showAdvanced ? kAdvancedDialogTemplate : kSimpleDialogTemplate);
    if (result == ui::kIdOk) break;
    if (result == kIdToAdvanced || result == kIdToSimple) {
      choice = static_cast<int>(result);
      continue;
    }
    // Cancel, or a dialog that could not be shown: waiting for another
    // answer would loop for ever.
    return false;
  }
  services.store.WriteDialogChoice(choice);
  return true;
}
