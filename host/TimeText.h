// The local time as ctime writes it on the module's home platform:
// "Fri Dec 04 20:52:00 2026\n", 25 characters with the day in two digits.
// Formatted here rather than by the C library, whose day field differs
// between platforms ("Dec  4" in glibc, "Dec 04" in the Windows runtime),
// so that every build stamps the same text.
#pragma once

#include <ctime>
#include <string>

namespace host {

std::string CtimeText(std::time_t when);

}  // namespace host
