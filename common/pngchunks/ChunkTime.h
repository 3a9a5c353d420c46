// The text of a tIME chunk's moment, as the Keep Chunks list shows it: the
// date in the locale's short date form and the time in its time form,
// followed by " UTC".  The module formats with the "C" locale on every
// platform but Windows (month/day/two-digit year, 24-hour time), so the text
// does not change with the environment of the process that loads it.  A date
// that does not exist gives no text at all, a time that does not exist
// leaves the time out, as the Windows date and time services do.
#pragma once

#include <cstdint>
#include <string>

namespace chunks {

struct ChunkMoment {
  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
};

// Reads the 7 bytes of tIME data: year (big-endian 16-bit), month, day,
// hour, minute, second.
ChunkMoment ReadChunkMoment(const uint8_t* data);

// "12/31/99" style; false when the date does not exist.
bool FormatChunkDate(const ChunkMoment& moment, std::string& text);
// "23:59:59" style; false when the time does not exist.  A leap second
// (second 60) is a time PNG allows, so it is formatted.
bool FormatChunkTime(const ChunkMoment& moment, std::string& text);

}  // namespace chunks
