#include "common/pngchunks/ChunkTime.h"

#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>

#include "common/pngchunks/ChunkBytes.h"

namespace chunks {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::tm ToTm(const ChunkMoment& moment) {
  std::tm tm{};
  tm.tm_year = moment.year - 1900;
  tm.tm_mon = moment.month - 1;
  tm.tm_mday = moment.day;
  tm.tm_hour = moment.hour;
  tm.tm_min = moment.minute;
  tm.tm_sec = moment.second;
  return tm;  // day of week 0, as the chunk carries none
}

std::string FormatInClassicLocale(const ChunkMoment& moment, const char* format) {
  const std::tm tm = ToTm(moment);
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::put_time(&tm, format);
  return out.str();
}

}  // namespace

ChunkMoment ReadChunkMoment(const uint8_t* data) {
  return {ReadBe16(data), data[2], data[3], data[4], data[5], data[6]};
}

bool FormatChunkDate(const ChunkMoment& moment, std::string& text) {
  if (moment.month < 1 || moment.month > 12) return false;
  if (moment.day < 1 || moment.day > DaysInMonth(moment.year, moment.month)) return false;
  text = FormatInClassicLocale(moment, "%x");
  return !text.empty();
}

bool FormatChunkTime(const ChunkMoment& moment, std::string& text) {
  if (moment.hour > 23 || moment.minute > 59 || moment.second > 60) return false;
  text = FormatInClassicLocale(moment, "%X");
  return !text.empty();
}

}  // namespace chunks
