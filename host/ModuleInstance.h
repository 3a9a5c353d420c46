// The module's own instance handle: the default instance of its dialogs,
// strings and icon.  The load notification records it (HINSTANCE on
// Windows, the shared object's base address elsewhere).
#pragma once

namespace host {

void* ModuleInstance();
void SetModuleInstance(void* instance);

}  // namespace host
