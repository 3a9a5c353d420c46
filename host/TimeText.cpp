#include "host/TimeText.h"

#include <cstdio>

namespace host {

std::string CtimeText(std::time_t when) {
  static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &when) != 0) return "\n";
#else
  if (localtime_r(&when, &local) == nullptr) return "\n";
#endif
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d\n", kDays[local.tm_wday % 7],
                kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                local.tm_year + 1900);
  return text;
}

}  // namespace host
