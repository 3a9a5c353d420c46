#include "host/EngineMessages.h"

#include <cstdarg>
#include <cstdio>

namespace host {

namespace {
char g_engineMessage[kEngineMessageSize];
}  // namespace

int PrintEngineMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(g_engineMessage, sizeof g_engineMessage, format, args);
  va_end(args);
  return written;
}

const char* LastEngineMessage() { return g_engineMessage; }

void ClearEngineMessage() { g_engineMessage[0] = '\0'; }

}  // namespace host
