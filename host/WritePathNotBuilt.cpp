// Saving is not built yet: selector 14 refuses the call and writes nothing.
#include <cstdio>

#include "host/Selectors.h"

namespace host {

void WriteStart(HostContext& context) {
  std::fputs("VELKOR: saving is not built yet\n", stderr);
  context.Fail(kNotBuiltErr);
}

}  // namespace host
