// The headless toolkit the Linux module shows its dialogs with, for the host
// stand-in to drive (see ui/ModuleUi.h).
#pragma once

#include "ui/headless/HeadlessToolkit.h"

namespace ui::headless {

HeadlessToolkit& ModuleToolkit();

}  // namespace ui::headless
