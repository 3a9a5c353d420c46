// The about box is not built yet: selector 0 refuses the call.
#include <cstdio>

#include "host/Selectors.h"

namespace host {

void ShowAboutBox(HostContext& context, const AboutRecord&) {
  std::fputs("VELKOR: the about box is not built yet\n", stderr);
  context.Fail(kNotBuiltErr);
}

}  // namespace host
