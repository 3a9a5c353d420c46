// The module's dialog templates, string table and icons as C++ tables,
// expanded from the same rows as the Windows resource script (see
// resources/DialogRows.h).  The headless toolkit builds its controls from
// these; the tests compare real Windows dialogs against them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace ui {

struct ControlTemplate {
  int id;
  std::string_view className;
  std::string_view text;
  uint32_t style;
  int x, y, width, height;  // dialog units
  int iconId;               // icon resource of an icon static, else 0
};

struct DialogTemplate {
  int id;
  std::string_view title;
  int width, height;  // dialog units
  uint32_t style;
  std::span<const ControlTemplate> controls;
};

std::span<const DialogTemplate> AllDialogTemplates();
const DialogTemplate* FindDialogTemplate(int id);

struct StringEntry {
  int id;
  std::string_view text;
};
std::span<const StringEntry> AllStrings();
std::optional<std::string_view> FindString(int id);

struct IconEntry {
  int id;
  std::string_view file;
};
std::span<const IconEntry> AllIcons();

// Style bits the toolkits interpret (Windows values).
namespace style {
inline constexpr uint32_t kDisabled = 0x08000000u;
inline constexpr uint32_t kVisible = 0x10000000u;
inline constexpr uint32_t kGroup = 0x00020000u;
inline constexpr uint32_t kSystemMenu = 0x00080000u;
inline constexpr uint32_t kButtonTypeMask = 0xFu;
inline constexpr uint32_t kEditNumber = 0x2000u;
inline constexpr uint32_t kStaticNotify = 0x100u;
}  // namespace style

}  // namespace ui
