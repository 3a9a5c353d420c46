// What each platform supplies to platform/MessageBox.cpp.
#pragma once

#include "platform/MessageBox.h"

namespace platform {

// The sink that shows boxes while no other sink is installed: a real error
// box on Windows, the default recorder on Linux.  Lives for the process.
MessageBoxSink& PlatformDefaultMessageBoxSink();

}  // namespace platform
