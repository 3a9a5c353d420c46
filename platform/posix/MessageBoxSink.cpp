// Linux has no user to click a box away: while no other sink is installed,
// boxes go to the recorder that the tests and the host stand-in read back.
#include "platform/MessageBox.h"
#include "platform/PlatformMessageBox.h"

namespace platform {

MessageBoxSink& PlatformDefaultMessageBoxSink() { return DefaultMessageBoxes(); }

}  // namespace platform
