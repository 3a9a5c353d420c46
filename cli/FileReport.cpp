#include "cli/FileReport.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "cli/Utf8Text.h"

namespace {

// JSON text is Unicode, a file name any bytes: what is not well-formed
// UTF-8 becomes U+FFFD, one for each ill-formed part, as a UTF-8 decoder
// that replaces would show it.  Such a name can no longer be matched to its
// file, but the line stays valid JSON and says where the name was damaged.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const Utf8Unit unit = Utf8UnitAt(text, i);
    const unsigned char u = static_cast<unsigned char>(text[i]);
    if (!unit.valid) {
      out += "\\ufffd";
    } else if (u == '"' || u == '\\') {
      out += '\\';
      out += text[i];
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out.append(text, i, unit.length);
    }
    i += unit.length;
  }
  return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + JsonString(items[i]);
  return out + "]";
}

const char* StatusWord(FileOutcome::Status status) {
  switch (status) {
    case FileOutcome::Status::Written: return "written";
    case FileOutcome::Status::Kept: return "kept";
    case FileOutcome::Status::Pretend: return "pretend";
    case FileOutcome::Status::Skipped: return "skipped";
    case FileOutcome::Status::Failed: return "failed";
  }
  return "failed";
}

std::string Percent(uint64_t before, uint64_t after) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f%%", before ? (double(after) - double(before)) * 100.0 / double(before) : 0.0);
  return text;
}

std::string JoinForTerminal(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + TerminalText(item);
  return out;
}

}  // namespace

std::string ColorTypeWords(int colortype) {
  switch (colortype) {
    case 0: return "grey";
    case 2: return "RGB";
    case 3: return "palette";
    case 4: return "grey+alpha";
    case 6: return "RGB+alpha";
    default: return "colour type " + std::to_string(colortype);
  }
}

std::string InCliTerms(std::string message) {
  std::string out;
  for (size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c == '\r' || c == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
      continue;
    }
    const bool switchStart = c == '/' && (i == 0 || message[i - 1] == ' ' || message[i - 1] == ',');
    if (switchStart && message.compare(i, 3, "/kp") == 0) {
      out += "-kp";
      i += 2;
    } else if (switchStart && i + 2 < message.size() && std::strchr("cdf", message[i + 1]) &&
               std::isdigit(static_cast<unsigned char>(message[i + 2]))) {
      out += '-';
      out += message[i + 1];
      out += ' ';
      ++i;
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  while (!out.empty() && out.front() == ' ') out.erase(0, 1);
  return out;
}

// Names, reasons and notes come from outside (the file system, the file's
// own bytes), so each is shown terminal-safe; the line breaks of -v are ours.
std::string PlainReport(const FileOutcome& o, bool verbose) {
  std::string line = TerminalText(o.name) + ": ";
  switch (o.status) {
    case FileOutcome::Status::Failed: return "velkor: " + line + TerminalText(o.reason);
    case FileOutcome::Status::Skipped: return line + TerminalText(o.reason);
    case FileOutcome::Status::Kept:
      line += std::to_string(o.before) + " bytes kept (the result, " + std::to_string(o.result) + " bytes, is not smaller)";
      if (!o.output.empty()) line += " -> " + TerminalText(o.output);
      break;
    case FileOutcome::Status::Pretend:
    case FileOutcome::Status::Written:
      line += std::to_string(o.before) + " -> " + std::to_string(o.after) + " bytes (" + Percent(o.before, o.after) + ")";
      if (o.conversion && o.after > o.before) line += o.lossySource ? ", larger than the JPEG" : ", larger than the input";
      if (!o.output.empty()) line += " -> " + TerminalText(o.output);
      if (o.status == FileOutcome::Status::Pretend) line += " (pretend: nothing written)";
      break;
  }
  if (o.status != FileOutcome::Status::Kept && o.after == o.before && !o.conversion && o.result > o.after) {
    line += " (the result, " + std::to_string(o.result) + " bytes, was not smaller)";
  }
  if (verbose) {
    if (!o.trial.empty()) {
      line += "\n  won: " + o.trial + ", " + std::to_string(o.passes) + " pass" + (o.passes == 1 ? "" : "es") +
              " (best of " + std::to_string(o.trials) + " trial" + (o.trials == 1 ? "" : "s") + ")";
    }
    if (!o.dropped.empty()) line += "\n  dropped chunks: " + JoinForTerminal(o.dropped);
    for (const std::string& note : o.notes) line += "\n  " + TerminalText(note);
  }
  return line;
}

std::string JsonReport(const FileOutcome& o) {
  std::string json = "{\"file\":" + JsonString(o.name) + ",\"status\":\"" + StatusWord(o.status) + "\"";
  if (o.status == FileOutcome::Status::Failed || o.status == FileOutcome::Status::Skipped) {
    return json + ",\"reason\":" + JsonString(o.reason) + "}";
  }
  json += ",\"bytes_before\":" + std::to_string(o.before) + ",\"bytes_after\":" + std::to_string(o.after) +
          ",\"bytes_result\":" + std::to_string(o.result);
  if (!o.output.empty()) json += ",\"output\":" + JsonString(o.output);
  if (o.colortype >= 0) {
    json += ",\"color_type\":" + std::to_string(o.colortype) + ",\"bit_depth\":" + std::to_string(o.bitdepth) +
            ",\"filter\":" + std::to_string(o.filter);
  }
  if (!o.trial.empty()) json += ",\"trial\":" + JsonString(o.trial) + ",\"trials\":" + std::to_string(o.trials);
  json += ",\"passes\":" + std::to_string(o.passes);
  json += ",\"dropped\":" + JsonList(o.dropped) + ",\"notes\":" + JsonList(o.notes) + "}";
  return json;
}
