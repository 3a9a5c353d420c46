// The options step of a save: builds the save's chunk selection, applies the
// remembered keep list, and runs the Simple or Advanced dialog (the one
// confirmed last) until the user confirms or cancels, switching between
// them as the user asks.
#pragma once

#include <cstdint>

#include "common/VELKORPSUI/OptionsServices.h"

struct EncodeJob;

// True for OK, false for Cancel.  The job's kept chunks must hold every
// ancillary chunk of the source file; on OK they hold the kept ones, and
// the job's options and *maxPasses hold the user's choice.  A dialog that
// ends any other way (its template cannot be shown) counts as Cancel.
bool RunOptionsDialog(OptionsServices& services, EncodeJob& job, uint8_t sourceColorType, uint8_t sourceBitDepth,
                      int* maxPasses);
