#include "ui/DialogTemplates.h"

#include <algorithm>

#include "resources/DialogRows.h"

namespace ui {
namespace {

// First expansion: one control array per template.
#define DIALOG_TEMPLATE(id, title, width, height, style) constexpr ControlTemplate kControls##id[] = {
#define DIALOG_CONTROL(id, cls, text, style, x, y, width, height) \
  {id, cls, text, uint32_t(style), x, y, width, height, 0},
#define DIALOG_ICON(id, icon, x, y, width, height) \
  {id, "Static", "", uint32_t(SS_ICON | WS_CHILD | WS_VISIBLE), x, y, width, height, icon},
#define END_DIALOG_TEMPLATE };
#include "resources/Dialogs.rows"
#undef DIALOG_TEMPLATE
#undef DIALOG_CONTROL
#undef DIALOG_ICON
#undef END_DIALOG_TEMPLATE

// Second expansion: the templates themselves.
#define DIALOG_TEMPLATE(id, title, width, height, style) \
  DialogTemplate{id, title, width, height, uint32_t(style), kControls##id},
#define DIALOG_CONTROL(id, cls, text, style, x, y, width, height)
#define DIALOG_ICON(id, icon, x, y, width, height)
#define END_DIALOG_TEMPLATE
constexpr DialogTemplate kDialogs[] = {
#include "resources/Dialogs.rows"
};
#undef DIALOG_TEMPLATE
#undef DIALOG_CONTROL
#undef DIALOG_ICON
#undef END_DIALOG_TEMPLATE

#define STRING_ROW(id, text) StringEntry{id, text},
constexpr StringEntry kStrings[] = {
#include "resources/Strings.rows"
};
#undef STRING_ROW

#define ICON_ROW(id, file) IconEntry{id, file},
constexpr IconEntry kIcons[] = {
#include "resources/Icons.rows"
};
#undef ICON_ROW

}  // namespace

std::span<const DialogTemplate> AllDialogTemplates() { return kDialogs; }

const DialogTemplate* FindDialogTemplate(int id) {
  const auto found = std::find_if(std::begin(kDialogs), std::end(kDialogs),
                                  [id](const DialogTemplate& t) { return t.id == id; });
  return found == std::end(kDialogs) ? nullptr : found;
}

std::span<const StringEntry> AllStrings() { return kStrings; }

std::optional<std::string_view> FindString(int id) {
  for (const StringEntry& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return std::nullopt;
}

std::span<const IconEntry> AllIcons() { return kIcons; }

}  // namespace ui
