#include "win/QUDAWinUI/dialogs/Win32Toolkit.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/DialogPlacement.h"
#include "ui/DialogTemplates.h"
#include "ui/ModalDialog.h"
#include "win/QUDAWinUI/ThisModule.h"
#include "win/QUDAWinUI/dialogs/GenericProc.h"

namespace ui::win32 {
namespace {

HWND AsHwnd(WindowHandle handle) { return static_cast<HWND>(handle); }
HWND Item(WindowHandle dialog, int id) { return GetDlgItem(AsHwnd(dialog), id); }

KeyboardHookFn g_keyboardHook = nullptr;
HHOOK g_hookHandle = nullptr;

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM key, LPARAM flags) {
  // Every event is passed on first; the hook only watches.
  const LRESULT next = CallNextHookEx(g_hookHandle, code, key, flags);
  if (code >= 0 && g_keyboardHook) {
    try {
      g_keyboardHook(int(key), (flags & 0x80000000) != 0);
    } catch (...) {
    }
  }
  return next;
}

// Common controls 6 come from the module's own manifest (resource 2), made
// active around each modal loop; the host process may well have none.
class ActivationScope {
 public:
  ActivationScope() {
    static HANDLE context = [] {
      ACTCTXA request{};
      request.cbSize = sizeof request;
      request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
      request.hModule = platform::ThisModule();
      request.lpResourceName = MAKEINTRESOURCEA(2);
      return CreateActCtxA(&request);
    }();
    if (context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &m_cookie)) m_active = true;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES |
                                                       ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
  }
  ~ActivationScope() {
    if (m_active) DeactivateActCtx(0, m_cookie);
  }

 private:
  ULONG_PTR m_cookie = 0;
  bool m_active = false;
};

}  // namespace

Win32Toolkit& ModuleWin32Toolkit() {
  static Win32Toolkit toolkit;
  return toolkit;
}

MessageResult Win32Toolkit::RunModal(ModalDialog& dialog, InstanceSource, int resource) {
  ActivationScope scope;
  return DialogBoxParamA(platform::ThisModule(), MAKEINTRESOURCEA(resource), GetActiveWindow(), GenericProc,
                         reinterpret_cast<LPARAM>(&dialog));
}

void Win32Toolkit::EndDialog(WindowHandle dialog, MessageResult result) { ::EndDialog(AsHwnd(dialog), result); }

MessageResult Win32Toolkit::SendToDialog(WindowHandle dialog, unsigned message, MessageParam first,
                                         LongParam second) {
  return SendMessageA(AsHwnd(dialog), message, first, second);
}

void Win32Toolkit::PostToDialog(WindowHandle dialog, unsigned message, MessageParam first, LongParam second) {
  PostMessageA(AsHwnd(dialog), message, first, second);
}

// The object sits in the dialog's user slot as a full pointer: the 32-bit
// SetWindowLongA would cut it in half on 64-bit Windows.
ModalDialog* Win32Toolkit::GetUserSlot(WindowHandle dialog) {
  return reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(AsHwnd(dialog), DWLP_USER));
}
void Win32Toolkit::SetUserSlot(WindowHandle dialog, ModalDialog* object) {
  SetWindowLongPtrA(AsHwnd(dialog), DWLP_USER, reinterpret_cast<LONG_PTR>(object));
}

MessageResult Win32Toolkit::DefaultProcedure(WindowHandle dialog, unsigned message, MessageParam first,
                                             LongParam second) {
  return DefWindowProcA(AsHwnd(dialog), message, first, second);
}

void Win32Toolkit::CentreOnOwner(WindowHandle dialog) {
  const HWND window = AsHwnd(dialog);
  PlacementInput in;
  RECT area{};
  const HWND owner = GetWindow(window, GW_OWNER);
  if (owner) {
    GetClientRect(owner, &area);
    MapWindowPoints(owner, nullptr, reinterpret_cast<POINT*>(&area), 2);
  } else {
    GetClientRect(GetDesktopWindow(), &area);
  }
  in.area = {area.left, area.top, area.right, area.bottom};
  RECT own{};
  GetWindowRect(window, &own);
  in.dialogWidth = own.right - own.left;
  in.dialogHeight = own.bottom - own.top;
  in.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  in.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  in.captionButtonWidth = GetSystemMetrics(SM_CXSIZE);
  in.hasSystemMenu = (GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU) != 0;
  const ScreenPoint at = CentreDialog(in);
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Win32Toolkit::SetTitle(WindowHandle dialog, std::string_view text) {
  SetWindowTextA(AsHwnd(dialog), std::string(text).c_str());
}

std::string Win32Toolkit::GetTitle(WindowHandle dialog) {
  char text[1024] = {};
  GetWindowTextA(AsHwnd(dialog), text, sizeof text);
  return text;
}

WindowHandle Win32Toolkit::GetControl(WindowHandle dialog, int id) { return Item(dialog, id); }
int Win32Toolkit::GetControlId(WindowHandle control) { return control ? GetDlgCtrlID(AsHwnd(control)) : 0; }

void Win32Toolkit::SetText(WindowHandle dialog, int id, std::string_view text) {
  SetDlgItemTextA(AsHwnd(dialog), id, std::string(text).c_str());
}

std::string Win32Toolkit::GetText(WindowHandle dialog, int id, size_t maxBytes) {
  if (maxBytes == 0) return {};
  std::vector<char> text(maxBytes, '\0');
  GetDlgItemTextA(AsHwnd(dialog), id, text.data(), int(std::min<size_t>(maxBytes, INT_MAX)));
  return text.data();
}

void Win32Toolkit::Enable(WindowHandle dialog, int id, bool enabled) { EnableWindow(Item(dialog, id), enabled); }
bool Win32Toolkit::IsEnabled(WindowHandle dialog, int id) {
  const HWND item = Item(dialog, id);
  return item && IsWindowEnabled(item);
}
void Win32Toolkit::Show(WindowHandle dialog, int id, bool visible) {
  ShowWindow(Item(dialog, id), visible ? SW_SHOW : SW_HIDE);
}
bool Win32Toolkit::IsVisible(WindowHandle dialog, int id) {
  const HWND item = Item(dialog, id);
  return item && (GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE) != 0;
}
void Win32Toolkit::SetFocus(WindowHandle dialog, int id) {
  if (const HWND item = Item(dialog, id)) ::SetFocus(item);
}

ButtonState Win32Toolkit::GetCheck(WindowHandle dialog, int id) {
  return ButtonState(IsDlgButtonChecked(AsHwnd(dialog), id));
}
void Win32Toolkit::SetCheck(WindowHandle dialog, int id, ButtonState state) {
  CheckDlgButton(AsHwnd(dialog), id, UINT(state));
}
void Win32Toolkit::CheckRadio(WindowHandle dialog, int first, int last, int id) {
  CheckRadioButton(AsHwnd(dialog), first, last, id);
}

void Win32Toolkit::PressButton(WindowHandle dialog, int id, bool post) {
  const HWND item = Item(dialog, id);
  if (!item) return;
  if (post) {
    PostMessageA(item, BM_CLICK, 0, 0);
  } else {
    SendMessageA(item, BM_CLICK, 0, 0);
  }
}

int Win32Toolkit::GetSliderPos(WindowHandle dialog, int id) {
  return int(SendDlgItemMessageA(AsHwnd(dialog), id, TBM_GETPOS, 0, 0));
}
void Win32Toolkit::SetSliderPos(WindowHandle dialog, int id, int pos) {
  // The dialogs ask for one past the end to mean "more than the slider
  // shows".  The trackbar keeps the nearest end, as the headless toolkit
  // does, but Wine's then repaints the thumb at the asked-for place, off
  // the channel, and none is left on screen: clamp before asking.
  const HWND slider = GetDlgItem(AsHwnd(dialog), id);
  const int low = int(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0));
  const int high = int(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0));
  SendMessageA(slider, TBM_SETPOS, TRUE, std::clamp(pos, low, std::max(low, high)));
}
void Win32Toolkit::SetSliderRange(WindowHandle dialog, int id, int low, int high) {
  SendDlgItemMessageA(AsHwnd(dialog), id, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
}
void Win32Toolkit::SetSliderBuddy(WindowHandle dialog, int id, int buddyId, bool atLeft) {
  SendDlgItemMessageA(AsHwnd(dialog), id, TBM_SETBUDDY, atLeft, reinterpret_cast<LPARAM>(Item(dialog, buddyId)));
}
void Win32Toolkit::SetProgress(WindowHandle dialog, int id, int pos) {
  SendDlgItemMessageA(AsHwnd(dialog), id, PBM_SETPOS, pos, 0);
}

bool Win32Toolkit::SetTimer(WindowHandle dialog, unsigned timerId, unsigned periodMs) {
  return ::SetTimer(AsHwnd(dialog), timerId, periodMs, nullptr) != 0;
}
void Win32Toolkit::KillTimer(WindowHandle dialog, unsigned timerId) { ::KillTimer(AsHwnd(dialog), timerId); }

bool Win32Toolkit::InstallKeyboardHook(KeyboardHookFn hook) {
  RemoveKeyboardHook();
  g_keyboardHook = hook;
  // Only the dialog's own thread: a hook for every thread of the desktop
  // would have the system load this module into every other program.
  g_hookHandle = SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, nullptr, GetCurrentThreadId());
  if (!g_hookHandle) g_keyboardHook = nullptr;
  return g_hookHandle != nullptr;
}
void Win32Toolkit::RemoveKeyboardHook() {
  if (g_hookHandle) UnhookWindowsHookEx(g_hookHandle);
  g_hookHandle = nullptr;
  g_keyboardHook = nullptr;
}

bool Win32Toolkit::CreateTooltips(WindowHandle dialog) {
  const HWND tips = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, AsHwnd(dialog),
                                    nullptr, platform::ThisModule(), nullptr);
  if (!tips) return false;
  SetWindowPos(tips, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  m_tooltips[AsHwnd(dialog)] = tips;
  return true;
}

void Win32Toolkit::AddTooltip(WindowHandle dialog, int id) {
  const auto tips = m_tooltips.find(AsHwnd(dialog));
  const HWND item = Item(dialog, id);
  if (tips == m_tooltips.end() || !item) return;
  TTTOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = AsHwnd(dialog);
  tool.uId = reinterpret_cast<UINT_PTR>(item);
  tool.lpszText = LPSTR_TEXTCALLBACKA;
  SendMessageA(tips->second, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32Toolkit::ListEnableCheckBoxes(WindowHandle dialog, int id) {
  SendDlgItemMessageA(AsHwnd(dialog), id, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
}

void Win32Toolkit::ListAddColumn(WindowHandle dialog, int id, std::string_view title, bool alignRight) {
  const HWND list = Item(dialog, id);
  const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int count = header ? int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  std::string text(title);
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
  column.fmt = alignRight ? LVCFMT_RIGHT : LVCFMT_LEFT;
  column.cx = 60;
  column.pszText = text.data();
  column.iSubItem = count;
  SendMessageA(list, LVM_INSERTCOLUMNA, count, reinterpret_cast<LPARAM>(&column));
}

namespace {

// The width a header item needs to show its whole title: the title in the
// header's own font plus the control's margin on each side (three edge
// widths, as the header control draws it). Some list views size
// LVSCW_AUTOSIZE_USEHEADER a few pixels short of that, cutting "Length" to
// "Len...", so the measured width is the floor.
int HeaderTitleWidth(HWND header, int column) {
  char title[64] = {};
  HDITEMA item{};
  item.mask = HDI_TEXT;
  item.pszText = title;
  item.cchTextMax = int(sizeof title);
  if (!SendMessageA(header, HDM_GETITEMA, column, reinterpret_cast<LPARAM>(&item))) return 0;
  const HDC dc = GetDC(header);
  if (!dc) return 0;
  const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(header, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  SIZE size{};
  const BOOL measured = GetTextExtentPoint32A(dc, title, int(lstrlenA(title)), &size);
  if (previous) SelectObject(dc, previous);
  ReleaseDC(header, dc);
  return measured ? int(size.cx) + 2 * 3 * GetSystemMetrics(SM_CXEDGE) : 0;
}

}  // namespace

void Win32Toolkit::ListFitColumns(WindowHandle dialog, int id) {
  const HWND list = Item(dialog, id);
  const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int count = header ? int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int column = 0; column < count; ++column) {
    SendMessageA(list, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
    const int content = int(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE_USEHEADER);
    const int heading = std::max(int(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)),
                                 HeaderTitleWidth(header, column));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, column, std::max(content, heading));
  }
}

int Win32Toolkit::ListAddRow(WindowHandle dialog, int id, const void* data) {
  LVITEMA item{};
  item.mask = LVIF_PARAM | LVIF_TEXT;
  item.iItem = ListRowCount(dialog, id);
  item.pszText = const_cast<char*>("");
  item.lParam = reinterpret_cast<LPARAM>(data);
  return int(SendDlgItemMessageA(AsHwnd(dialog), id, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

int Win32Toolkit::ListRowCount(WindowHandle dialog, int id) {
  return int(SendDlgItemMessageA(AsHwnd(dialog), id, LVM_GETITEMCOUNT, 0, 0));
}

void Win32Toolkit::ListSetCell(WindowHandle dialog, int id, int row, int column, std::string_view text) {
  std::string value(text);
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = value.data();
  SendDlgItemMessageA(AsHwnd(dialog), id, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

std::string Win32Toolkit::ListGetCell(WindowHandle dialog, int id, int row, int column) {
  char text[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendDlgItemMessageA(AsHwnd(dialog), id, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

bool Win32Toolkit::ListIsRowChecked(WindowHandle dialog, int id, int row) {
  const LRESULT state = SendDlgItemMessageA(AsHwnd(dialog), id, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void Win32Toolkit::ListSetRowChecked(WindowHandle dialog, int id, int row, bool checked) {
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  SendDlgItemMessageA(AsHwnd(dialog), id, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

const void* Win32Toolkit::ListGetRowData(WindowHandle dialog, int id, int row) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendDlgItemMessageA(AsHwnd(dialog), id, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<const void*>(item.lParam);
}

void Win32Toolkit::ListSetRowData(WindowHandle dialog, int id, int row, const void* data) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = reinterpret_cast<LPARAM>(data);
  SendDlgItemMessageA(AsHwnd(dialog), id, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32Toolkit::SetSwatchColor(WindowHandle dialog, int id, uint32_t colour) {
  Swatch& swatch = m_swatches[{AsHwnd(dialog), id}];
  if (swatch.m_BackgroundColorBrush) DeleteObject(swatch.m_BackgroundColorBrush);
  swatch.m_BackgroundColorBrush = nullptr;
  // A colour is known when its top byte is set (0xFFRRGGBB); 0 is none.
  if ((colour & 0xFF000000u) != 0) {
    swatch.m_BackgroundColorBrush = CreateSolidBrush(RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
  }
  InvalidateRect(Item(dialog, id), nullptr, TRUE);
}

void Win32Toolkit::DrawSwatch(const DRAWITEMSTRUCT& item, const Swatch* swatch) {
  RECT box = item.rcItem;
  DrawEdge(item.hDC, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (swatch == nullptr || swatch->m_BackgroundColorBrush == nullptr) {
    FillRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    DrawTextA(item.hDC, "None", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  } else {
    FillRect(item.hDC, &box, swatch->m_BackgroundColorBrush);
  }
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&box, -4, -4);
    DrawFocusRect(item.hDC, &box);
  }
}

void Win32Toolkit::MakeLink(WindowHandle dialog, int) {
  const HWND window = AsHwnd(dialog);
  if (m_linkFonts.count(window)) return;
  HFONT base = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  if (!base) base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (!base) base = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  LOGFONTA description{};
  if (base && GetObjectA(base, sizeof description, &description)) {
    description.lfUnderline = TRUE;
    m_linkFonts[window] = CreateFontIndirectA(&description);
  }
}

MessageResult Win32Toolkit::LinkColours(WindowHandle dialog, MessageParam first, LongParam) {
  const HDC dc = reinterpret_cast<HDC>(first);
  SetTextColor(dc, RGB(0, 0, 255));
  SetBkMode(dc, TRANSPARENT);
  const auto font = m_linkFonts.find(AsHwnd(dialog));
  if (font != m_linkFonts.end() && font->second) SelectObject(dc, font->second);
  return reinterpret_cast<MessageResult>(GetSysColorBrush(COLOR_BTNFACE));
}

bool Win32Toolkit::HandleOwnMessage(HWND dialog, UINT message, WPARAM, LPARAM second, INT_PTR& answer) {
  if (message == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(second);
    if (!header || header->code != TTN_GETDISPINFOA || !m_tooltips.count(dialog)) return false;
    // The tool is the control itself; its text is the string numbered like
    // the control, loaded into the one buffer tooltips read from.
    static char text[256];
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(second);
    const int id = GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom));
    text[0] = '\0';
    LoadStringA(platform::ThisModule(), UINT(id), text, sizeof text);
    info->lpszText = text;
    answer = TRUE;
    return true;
  }
  if (message == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(second);
    if (item->CtlType != ODT_BUTTON) return false;
    const auto swatch = m_swatches.find({dialog, int(item->CtlID)});
    DrawSwatch(*item, swatch == m_swatches.end() ? nullptr : &swatch->second);
    answer = TRUE;
    return true;
  }
  return false;
}

void Win32Toolkit::ForgetWindow(HWND dialog) {
  m_tooltips.erase(dialog);
  std::erase_if(m_swatches, [dialog](const auto& entry) {
    if (entry.first.first != dialog) return false;
    if (entry.second.m_BackgroundColorBrush) DeleteObject(entry.second.m_BackgroundColorBrush);
    return true;
  });
  const auto font = m_linkFonts.find(dialog);
  if (font != m_linkFonts.end()) {
    if (font->second) DeleteObject(font->second);
    m_linkFonts.erase(font);
  }
}

}  // namespace ui::win32
