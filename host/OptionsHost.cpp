#include "host/OptionsHost.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace host {

namespace {

// A length-prefixed text: one count byte, then at most 255 characters.
using PascalText = std::array<uint8_t, 256>;

PascalText ToPascal(std::string_view text) {
  PascalText out{};
  const size_t length = std::min<size_t>(text.size(), 255);
  out[0] = static_cast<uint8_t>(length);
  std::memcpy(out.data() + 1, text.data(), length);
  return out;
}

}  // namespace

bool HostAnalysis::AbortRequested() {
  const FormatRecord* record = m_context.record;
  return record != nullptr && record->abortProc != nullptr && record->abortProc() != 0;
}

bool HostAnalysis::HasErrorString() const {
  return m_context.record != nullptr && m_context.record->errorString != nullptr;
}

void HostAnalysis::SetErrorString(std::string_view text) {
  const PascalText pascal = ToPascal(text);
  std::memcpy(m_context.record->errorString, pascal.data(), size_t{pascal[0]} + 1);
}

bool HostColors::ChooseColor(std::string_view prompt, int& space, Components& colour) {
  const PascalText pascalPrompt = ToPascal(prompt);
  ColorServicesInfo info{};
  info.infoSize = sizeof info;
  info.selector = plugIncolorServicesChooseColor;
  info.sourceSpace = static_cast<int16_t>(space);
  info.resultSpace = static_cast<int16_t>(space);
  std::copy(colour.begin(), colour.end(), info.colorComponents);
  info.selectorParameter.pickerPrompt = pascalPrompt.data();
  if (m_proc(&info) != noErr) return false;
  space = info.resultSpace;
  std::copy(std::begin(info.colorComponents), std::end(info.colorComponents), colour.begin());
  return true;
}

bool HostColors::ConvertToRgb(int space, Components& colour) {
  ColorServicesInfo info{};
  info.infoSize = sizeof info;
  info.selector = plugIncolorServicesConvertColor;
  info.sourceSpace = static_cast<int16_t>(space);
  info.resultSpace = plugIncolorServicesRGBSpace;
  std::copy(colour.begin(), colour.end(), info.colorComponents);
  if (m_proc(&info) != noErr) return false;
  std::copy(std::begin(info.colorComponents), std::end(info.colorComponents), colour.begin());
  return true;
}

}  // namespace host
