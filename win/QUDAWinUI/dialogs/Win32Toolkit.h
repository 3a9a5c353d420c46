// The Windows realisation of the dialog toolkit: real modal dialogs from the
// module's templates, driven by the exported GenericProc.
//
// Beyond the plain control calls it owns three things the dialogs only name:
// the version-6 common controls (an activation context from the module's
// manifest is active while a dialog runs), the tooltips' text on demand and
// the colour swatch's drawing (both answered in GenericProc before the
// dialog's own message handler), and the link font of the about box.
#pragma once

#include <windows.h>

#include <map>
#include <utility>

#include "ui/DialogToolkit.h"

namespace ui::win32 {

class Win32Toolkit final : public DialogToolkit {
 public:
  // Answers the notifications the toolkit handles itself; true with
  // `answer` set when the message was one of them.
  bool HandleOwnMessage(HWND dialog, UINT message, WPARAM first, LPARAM second, INT_PTR& answer);
  // Forgets what belonged to a dialog window that is being destroyed.
  void ForgetWindow(HWND dialog);

  MessageResult RunModal(ModalDialog& dialog, InstanceSource source, int resource) override;
  void EndDialog(WindowHandle dialog, MessageResult result) override;
  MessageResult SendToDialog(WindowHandle dialog, unsigned message, MessageParam first, LongParam second) override;
  void PostToDialog(WindowHandle dialog, unsigned message, MessageParam first, LongParam second) override;
  ModalDialog* GetUserSlot(WindowHandle dialog) override;
  void SetUserSlot(WindowHandle dialog, ModalDialog* object) override;
  MessageResult DefaultProcedure(WindowHandle dialog, unsigned message, MessageParam first,
                                 LongParam second) override;
  void CentreOnOwner(WindowHandle dialog) override;
  void SetTitle(WindowHandle dialog, std::string_view text) override;
  std::string GetTitle(WindowHandle dialog) override;
  WindowHandle GetControl(WindowHandle dialog, int id) override;
  int GetControlId(WindowHandle control) override;
  void SetText(WindowHandle dialog, int id, std::string_view text) override;
  std::string GetText(WindowHandle dialog, int id, size_t maxBytes = 1024) override;
  void Enable(WindowHandle dialog, int id, bool enabled) override;
  bool IsEnabled(WindowHandle dialog, int id) override;
  void Show(WindowHandle dialog, int id, bool visible) override;
  bool IsVisible(WindowHandle dialog, int id) override;
  void SetFocus(WindowHandle dialog, int id) override;
  ButtonState GetCheck(WindowHandle dialog, int id) override;
  void SetCheck(WindowHandle dialog, int id, ButtonState state) override;
  void CheckRadio(WindowHandle dialog, int first, int last, int id) override;
  void PressButton(WindowHandle dialog, int id, bool post) override;
  int GetSliderPos(WindowHandle dialog, int id) override;
  void SetSliderPos(WindowHandle dialog, int id, int pos) override;
  void SetSliderRange(WindowHandle dialog, int id, int low, int high) override;
  void SetSliderBuddy(WindowHandle dialog, int id, int buddyId, bool atLeft) override;
  void SetProgress(WindowHandle dialog, int id, int pos) override;
  bool SetTimer(WindowHandle dialog, unsigned timerId, unsigned periodMs) override;
  void KillTimer(WindowHandle dialog, unsigned timerId) override;
  bool InstallKeyboardHook(KeyboardHookFn hook) override;
  void RemoveKeyboardHook() override;
  bool CreateTooltips(WindowHandle dialog) override;
  void AddTooltip(WindowHandle dialog, int id) override;
  void ListEnableCheckBoxes(WindowHandle dialog, int id) override;
  void ListAddColumn(WindowHandle dialog, int id, std::string_view title, bool alignRight) override;
  void ListFitColumns(WindowHandle dialog, int id) override;
  int ListAddRow(WindowHandle dialog, int id, const void* data) override;
  int ListRowCount(WindowHandle dialog, int id) override;
  void ListSetCell(WindowHandle dialog, int id, int row, int column, std::string_view text) override;
  std::string ListGetCell(WindowHandle dialog, int id, int row, int column) override;
  bool ListIsRowChecked(WindowHandle dialog, int id, int row) override;
  void ListSetRowChecked(WindowHandle dialog, int id, int row, bool checked) override;
  const void* ListGetRowData(WindowHandle dialog, int id, int row) override;
  void ListSetRowData(WindowHandle dialog, int id, int row, const void* data) override;
  void SetSwatchColor(WindowHandle dialog, int id, uint32_t colour) override;
  void MakeLink(WindowHandle dialog, int id) override;
  MessageResult LinkColours(WindowHandle dialog, MessageParam first, LongParam second) override;

 private:
  // A colour swatch: the solid brush of its colour, made once a colour is
  // known, released when another colour replaces it or the dialog goes.
  // Without a brush the swatch reads "None".
  struct Swatch {
    HBRUSH m_BackgroundColorBrush = nullptr;
  };

  static void DrawSwatch(const DRAWITEMSTRUCT& item, const Swatch* swatch);

  std::map<HWND, HWND> m_tooltips;                     // dialog -> its tooltip window
  std::map<std::pair<HWND, int>, Swatch> m_swatches;   // (dialog, id) -> its swatch
  std::map<HWND, HFONT> m_linkFonts;                   // dialog -> underlined font
};

// The module's toolkit (one per loaded module).
Win32Toolkit& ModuleWin32Toolkit();

}  // namespace ui::win32
