// The Win32 calls of the console's window. Everything that can be decided without them (classes
// and styles, units, text conversions, the order of handlers) is in win32_controls.cpp and
// handler_gate.cpp; what a list selects is the window layer's (window/list_rules.cpp).
#include "window/win32/win32_dialog_window.h"

#include "window/file_filter.h"
#include "window/list_rules.h"
#include "window/system_menu.h"

// After the template's names (IDOK, IDCANCEL), which windows.h defines to the same values.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Need windows.h first.
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
// The window's own MessageBox and PostMessage, not the Win32 macros of those names.
#undef MessageBox
#undef PostMessage

#include <algorithm>
#include <stdexcept>

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 at the Win32 boundary");
static_assert(win32::kWsChild == WS_CHILD && win32::kWsVisible == WS_VISIBLE &&
              win32::kWsDisabled == WS_DISABLED && win32::kWsVScroll == WS_VSCROLL &&
              win32::kWsGroup == WS_GROUP && win32::kWsTabStop == WS_TABSTOP &&
              win32::kWsExClientEdge == WS_EX_CLIENTEDGE &&
              win32::kWsExNoParentNotify == WS_EX_NOPARENTNOTIFY);
static_assert(win32::kEsCenter == ES_CENTER && win32::kEsRight == ES_RIGHT &&
              win32::kEsMultiLine == ES_MULTILINE && win32::kEsAutoVScroll == ES_AUTOVSCROLL &&
              win32::kEsAutoHScroll == ES_AUTOHSCROLL && win32::kEsReadOnly == ES_READONLY);
static_assert(win32::kBsDefPushButton == BS_DEFPUSHBUTTON && win32::kBsGroupBox == BS_GROUPBOX &&
              win32::kBsAutoCheckBox == BS_AUTOCHECKBOX && win32::kBsNotify == BS_NOTIFY);
static_assert(win32::kLvsReport == LVS_REPORT && win32::kLvsSingleSel == LVS_SINGLESEL &&
              win32::kLvsShowSelAlways == LVS_SHOWSELALWAYS &&
              win32::kLvsNoSortHeader == LVS_NOSORTHEADER);
static_assert(win32::kSsCenter == SS_CENTER && win32::kSsRight == SS_RIGHT &&
              win32::kSsIcon == SS_ICON && win32::kSsNoPrefix == SS_NOPREFIX);
static_assert(win32::kCbsDropDown == CBS_DROPDOWN && win32::kCbsDropDownList == CBS_DROPDOWNLIST &&
              win32::kCbsAutoHScroll == CBS_AUTOHSCROLL && win32::kCbsHasStrings == CBS_HASSTRINGS);
static_assert(win32::kBnClicked == BN_CLICKED && win32::kBnSetFocus == BN_SETFOCUS &&
              win32::kBnKillFocus == BN_KILLFOCUS && win32::kEnSetFocus == EN_SETFOCUS &&
              win32::kEnKillFocus == EN_KILLFOCUS && win32::kCbnSetFocus == CBN_SETFOCUS &&
              win32::kCbnKillFocus == CBN_KILLFOCUS && win32::kCbnDropDown == CBN_DROPDOWN);
static_assert(WM_LINK_DONE == WM_USER + 200);

// Asks the window to drain its posted messages later, outside any handler.
constexpr UINT kDrainMessage = WM_APP + 1;

std::wstring Wide(const std::string& text) {
  const std::u16string wide = win32::Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(const wchar_t* text, size_t length) {
  return win32::Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text), length));
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  return Narrow(buffer.data(), static_cast<size_t>(std::max(copied, 0)));
}

// The empty template both windows start from: the controls are created by the window itself.
struct alignas(4) EmptyTemplate {
  DLGTEMPLATE header;
  WORD menu = 0;
  WORD windowClass = 0;
  WORD title = 0;
};

EmptyTemplate MakeTemplate(DWORD style) {
  EmptyTemplate t{};
  t.header.style = style;
  return t;
}

// Functions of newer Windows versions, looked up so that the program still starts on older ones.
UINT DpiOf(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi != nullptr) {
    const UINT dpi = getDpi(hwnd);
    if (dpi != 0) return dpi;
  }
  HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int MetricForDpi(int index, UINT dpi) {
  using Fn = int(WINAPI*)(int, UINT);
  static const auto forDpi = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
  if (forDpi != nullptr) return forDpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), 96);
}

void AdjustForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, UINT dpi) {
  using Fn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto forDpi = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (forDpi != nullptr) {
    forDpi(&rect, style, menu ? TRUE : FALSE, exStyle, dpi);
  } else {
    AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle);
  }
}

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param) {
  auto* faces = reinterpret_cast<std::vector<std::string>*>(param);
  const std::string face = Narrow(font->lfFaceName, wcsnlen(font->lfFaceName, LF_FACESIZE));
  if (std::find(faces->begin(), faces->end(), face) == faces->end()) faces->push_back(face);
  return 1;
}

// "Microsoft YaHei UI", else the first font that covers GB2312 (Noto Sans CJK SC under Wine).
std::wstring CjkFace(HDC dc) {
  LOGFONTW query{};
  query.lfCharSet = GB2312_CHARSET;
  std::vector<std::string> faces;
  EnumFontFamiliesExW(dc, &query, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
  const std::string face = win32::ChooseCjkFace(faces);
  return face.empty() ? std::wstring(L"MS Shell Dlg") : Wide(face);
}

HFONT MakeFont(const wchar_t* face, int points, int dpi, BYTE charset) {
  return CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face);
}

// The template font's base units, measured as the dialog manager measures them.
win32::BaseUnits MeasureBaseUnits(HDC dc, const DialogTemplate& dialog, int dpi) {
  HFONT font = MakeFont(Wide(dialog.fontName).c_str(), dialog.fontPoints, dpi, DEFAULT_CHARSET);
  if (font == nullptr) return win32::DefaultBaseUnits(dpi);
  HGDIOBJ old = SelectObject(dc, font);
  static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE size{};
  TEXTMETRICW metrics{};
  const bool measured = GetTextExtentPoint32W(dc, kLetters, 52, &size) != FALSE &&
                        GetTextMetricsW(dc, &metrics) != FALSE;
  SelectObject(dc, old);
  DeleteObject(font);
  if (!measured || size.cx <= 0 || metrics.tmHeight <= 0) return win32::DefaultBaseUnits(dpi);
  return win32::BaseUnitsOf(size.cx, metrics.tmHeight);
}

HICON LoadAppIcon(int metric, UINT dpi) {
  const int size = MetricForDpi(metric, dpi);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// A drop-down list changes its selection on the mouse wheel, and Windows 10 sends the wheel to
// the control under the pointer, focused or not: a turn of the wheel over a list would choose an
// entry the operator never went to. A list takes the wheel only while it or its edit field holds
// the focus, as it takes the arrow keys; the wheel over any other list is dropped, whether the
// system routed it there or a program sent it.
LRESULT CALLBACK GuardListWheel(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                DWORD_PTR list) {
  if (message == WM_MOUSEWHEEL) {
    const HWND combo = reinterpret_cast<HWND>(list);
    const HWND focus = GetFocus();
    if (focus == nullptr || (focus != combo && IsChild(combo, focus) == FALSE)) return 0;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, GuardListWheel, id);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

void GuardWheel(HWND combo) {
  SetWindowSubclass(combo, GuardListWheel, 1, reinterpret_cast<DWORD_PTR>(combo));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  // An editable list's field passes the wheel on to its list (or turns it itself).
  if (GetComboBoxInfo(combo, &info) != FALSE && info.hwndItem != nullptr &&
      info.hwndItem != combo) {
    SetWindowSubclass(info.hwndItem, GuardListWheel, 1, reinterpret_cast<DWORD_PTR>(combo));
  }
}

// A table's columns, one per heading of the template, as wide as their headings; the last one
// takes what is left of the table's width.
void InsertColumns(HWND table, const ControlTemplate& c) {
  SendMessageW(table, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (size_t k = 0; k < c.entries.size(); ++k) {
    std::wstring heading = Wide(c.entries[k]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_SUBITEM;
    column.pszText = heading.data();
    column.iSubItem = static_cast<int>(k);
    SendMessageW(table, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&column));
  }
}

// Sizes a table's columns to the wider of their heading and their widest cell, in the table's
// font, and gives the last column what is left of the table's width.
void FitColumns(HWND table, size_t columns, int dpi) {
  const int margins = MulDiv(14, dpi, 96);  // the heading's margins inside its section
  RECT client{};
  GetClientRect(table, &client);
  int used = 0;
  for (size_t k = 0; k < columns; ++k) {
    wchar_t heading[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = heading;
    column.cchTextMax = 64;
    SendMessageW(table, LVM_GETCOLUMNW, k, reinterpret_cast<LPARAM>(&column));
    const int headingWidth = static_cast<int>(
        SendMessageW(table, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(heading)));
    SendMessageW(table, LVM_SETCOLUMNWIDTH, k, MAKELPARAM(LVSCW_AUTOSIZE, 0));
    int width = std::max(static_cast<int>(SendMessageW(table, LVM_GETCOLUMNWIDTH, k, 0)),
                         headingWidth + margins);
    if (k + 1 == columns) width = std::max<int>(width, client.right - used);
    SendMessageW(table, LVM_SETCOLUMNWIDTH, k, MAKELPARAM(width, 0));
    used += width;
  }
}

// Creates the controls of a template on a window, in tab order, with their initial texts and
// list entries; placed later by PlaceControls.
std::vector<HWND> CreateTemplateControls(HWND parent, const DialogTemplate& dialog) {
  std::vector<HWND> created;
  for (const ControlTemplate& c : dialog.controls) {
    const win32::ControlClass cls = win32::ClassOf(c);
    const bool list = c.kind == ControlKind::DropList || c.kind == ControlKind::DropDown;
    // A table's entries are its headings; a progress bar shows no text.
    const bool captioned = !list && c.kind != ControlKind::Table && c.kind != ControlKind::Progress;
    const std::wstring text = captioned ? Wide(c.text != nullptr ? c.text : "") : std::wstring();
    HWND hwnd = CreateWindowExW(
        cls.exStyle, Wide(cls.className).c_str(), text.c_str(), cls.style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), GetModuleHandleW(nullptr), nullptr);
    if (list && hwnd != nullptr) {
      for (const char* entry : c.entries) {
        SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
      }
      SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      SendMessageW(hwnd, CB_SETMINVISIBLE, win32::kListVisibleEntries, 0);
      GuardWheel(hwnd);
    }
    if (c.kind == ControlKind::Table && hwnd != nullptr) InsertColumns(hwnd, c);
    if (c.kind == ControlKind::Progress && hwnd != nullptr) {
      SendMessageW(hwnd, PBM_SETRANGE32, 0, 100);
    }
    created.push_back(hwnd);
  }
  return created;
}

// Places a template's controls for a DPI: dialog units through the template font's base units,
// text in the CJK font. Returns the client size of the dialog in pixels.
SIZE PlaceControls(HWND parent, const DialogTemplate& dialog, const std::vector<HWND>& controls,
                   HFONT font, HICON icon, int dpi) {
  HDC dc = GetDC(parent);
  const win32::BaseUnits units = MeasureBaseUnits(dc, dialog, dpi);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int lineHeight = metrics.tmHeight;
  for (size_t k = 0; k < dialog.controls.size() && k < controls.size(); ++k) {
    const ControlTemplate& c = dialog.controls[k];
    HWND hwnd = controls[k];
    if (hwnd == nullptr) continue;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    win32::PixelRect r = win32::ToPixels(c, units);
    switch (c.kind) {
      case ControlKind::Label: {
        const std::wstring text = Wide(c.text != nullptr ? c.text : "");
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        r = win32::PlaceLabel(r, c.style, lineHeight, size.cx);
        break;
      }
      case ControlKind::DropList:
      case ControlKind::DropDown: {
        const int field = win32::ListFieldHeight(units, lineHeight);
        SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field - 6);
        const int item = static_cast<int>(SendMessageW(hwnd, CB_GETITEMHEIGHT, 0, 0));
        r.cy = win32::ListCreateHeight(field, std::max(item, lineHeight), c.entries.size());
        break;
      }
      case ControlKind::Icon:
        SendMessageW(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        r.cx = std::max(r.cx, MetricForDpi(SM_CXICON, static_cast<UINT>(dpi)));
        r.cy = std::max(r.cy, MetricForDpi(SM_CYICON, static_cast<UINT>(dpi)));
        break;
      default:
        break;
    }
    SetWindowPos(hwnd, nullptr, r.x, r.y, r.cx, r.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.kind == ControlKind::Table) FitColumns(hwnd, c.entries.size(), dpi);
  }
  SelectObject(dc, old);
  ReleaseDC(parent, dc);
  return {win32::DluToPixelsX(dialog.cx, units), win32::DluToPixelsY(dialog.cy, units)};
}

// Sizes a window so that its client area is the dialog's, under its menu bar when it has one,
// keeping its top-left corner.
void SizeWindow(HWND hwnd, SIZE client, int dpi) {
  RECT frame{0, 0, client.cx, client.cy};
  const bool menu = GetMenu(hwnd) != nullptr;
  AdjustForDpi(frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), menu,
               static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), static_cast<UINT>(dpi));
  const int cx = frame.right - frame.left;
  const int cy = frame.bottom - frame.top;
  SetWindowPos(hwnd, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  if (!menu) return;
  // A menu bar wider than the window breaks onto a second line, which the frame did not count.
  RECT got{};
  GetClientRect(hwnd, &got);
  const int missing = client.cy - (got.bottom - got.top);
  if (missing != 0) {
    SetWindowPos(hwnd, nullptr, 0, 0, cx, cy + missing, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

// Centres a window over another (the window that owns it), or on the work area of its screen,
// and keeps it on that screen.
void CentreWindow(HWND hwnd, HWND over = nullptr) {
  RECT window{};
  GetWindowRect(hwnd, &window);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(over != nullptr ? over : hwnd, MONITOR_DEFAULTTOPRIMARY),
                  &monitor);
  const RECT& area = monitor.rcWork;
  RECT around = area;
  if (over != nullptr) GetWindowRect(over, &around);
  const int cx = window.right - window.left;
  const int cy = window.bottom - window.top;
  const int x = std::min<int>(around.left + (around.right - around.left - cx) / 2, area.right - cx);
  const int y = std::min<int>(around.top + (around.bottom - around.top - cy) / 2, area.bottom - cy);
  SetWindowPos(hwnd, nullptr, std::max<int>(area.left, x), std::max<int>(area.top, y), 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;

INT_PTR CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    return FALSE;  // the focus is placed when the run starts
  }
  auto* window = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (window == nullptr) return FALSE;
  return window->OnMessage(message, wParam, lParam);
}

// The About box: template 100, modal, closed by its button, Enter or Escape.
struct AboutState {
  HFONT font = nullptr;
  HICON icon = nullptr;
};

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<AboutState*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      state = reinterpret_cast<AboutState*>(lParam);
      const DialogTemplate& dialog = AboutDialogTemplate();
      const int dpi = static_cast<int>(DpiOf(hwnd));
      HDC dc = GetDC(hwnd);
      state->font = MakeFont(CjkFace(dc).c_str(), dialog.fontPoints, dpi, GB2312_CHARSET);
      ReleaseDC(hwnd, dc);
      state->icon = LoadAppIcon(SM_CXICON, static_cast<UINT>(dpi));
      SetWindowTextW(hwnd, Wide(dialog.caption).c_str());
      SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state->icon));
      const std::vector<HWND> controls = CreateTemplateControls(hwnd, dialog);
      SizeWindow(hwnd, PlaceControls(hwnd, dialog, controls, state->font, state->icon, dpi), dpi);
      CentreWindow(hwnd);
      const int first = win32::InitialFocus(dialog);
      if (first != 0) SetFocus(GetDlgItem(hwnd, first));
      return FALSE;
    }
    case WM_COMMAND:
      // The button's focus notifications come this way too; only its click closes the box.
      if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && HIWORD(wParam) == BN_CLICKED) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (state != nullptr) {
        if (state->font != nullptr) DeleteObject(state->font);
        if (state->icon != nullptr) DestroyIcon(state->icon);
        state->font = nullptr;
        state->icon = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// The question box: template 103, modal, centred on the window that asks. 否 is its default
// button and starts with the focus, so Enter answers 否 until the operator moves to 是; Escape,
// the close box and Alt+F4 (the Cancel command) answer 否 too.
struct QuestionState {
  std::wstring caption;
  std::wstring text;
  HFONT font = nullptr;
};

// The widest line of a question; a longer one is broken into lines.
constexpr int kQuestionMaxWidthDlu = 320;

// Grows the question's label to its text, measured as the label draws it, and the box with it,
// to the right and down; the buttons keep to the bottom right corner. Returns the client size.
SIZE FitQuestion(HWND box, const DialogTemplate& dialog, SIZE client, HFONT font, int dpi) {
  HWND label = GetDlgItem(box, IDC_QUESTION_TEXT);
  RECT cell{};
  GetWindowRect(label, &cell);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&cell), 2);
  const std::wstring text = Wide(WindowText(label));
  HDC dc = GetDC(box);
  const win32::BaseUnits units = MeasureBaseUnits(dc, dialog, dpi);
  HGDIOBJ old = SelectObject(dc, font);
  RECT need{0, 0, win32::DluToPixelsX(kQuestionMaxWidthDlu, units), 0};
  // As a left-aligned label draws its text.
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
            DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(box, dc);
  const int dx = std::max<int>(0, need.right - (cell.right - cell.left));
  const int dy = std::max<int>(0, need.bottom - (cell.bottom - cell.top));
  SetWindowPos(label, nullptr, 0, 0, cell.right - cell.left + dx, cell.bottom - cell.top + dy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (int id : {IDYES, IDNO}) {
    HWND button = GetDlgItem(box, id);
    RECT r{};
    GetWindowRect(button, &r);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(button, nullptr, r.left + dx, r.top + dy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return {client.cx + dx, client.cy + dy};
}

INT_PTR CALLBACK QuestionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<QuestionState*>(lParam);
      const DialogTemplate& dialog = QuestionDialogTemplate();
      const int dpi = static_cast<int>(DpiOf(hwnd));
      HDC dc = GetDC(hwnd);
      state->font = MakeFont(CjkFace(dc).c_str(), dialog.fontPoints, dpi, GB2312_CHARSET);
      ReleaseDC(hwnd, dc);
      // The system's question mark, shared by every program: never destroyed here.
      const int iconSize = MetricForDpi(SM_CXICON, static_cast<UINT>(dpi));
      auto icon = static_cast<HICON>(
          LoadImageW(nullptr, IDI_QUESTION, IMAGE_ICON, iconSize, iconSize, LR_SHARED));
      if (icon == nullptr) icon = LoadIconW(nullptr, IDI_QUESTION);
      SetWindowTextW(hwnd, state->caption.c_str());
      const std::vector<HWND> controls = CreateTemplateControls(hwnd, dialog);
      SIZE client = PlaceControls(hwnd, dialog, controls, state->font, icon, dpi);
      SetDlgItemTextW(hwnd, IDC_QUESTION_TEXT, state->text.c_str());
      client = FitQuestion(hwnd, dialog, client, state->font, dpi);
      SizeWindow(hwnd, client, dpi);
      CentreWindow(hwnd, GetWindow(hwnd, GW_OWNER));
      SendMessageW(hwnd, DM_SETDEFID, IDNO, 0);
      SetFocus(GetDlgItem(hwnd, IDNO));
      return FALSE;
    }
    case WM_COMMAND:
      // The buttons' focus notifications come this way too; only a click (or the keyboard's
      // Enter and Escape, which come as one) answers.
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDYES:
          EndDialog(hwnd, IDYES);
          return TRUE;
        case IDNO:
        case IDCANCEL:
        case IDOK:
          EndDialog(hwnd, IDNO);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(const DialogTemplate& dialog, Win32DialogWindow* owner)
    : m_dialog(dialog),
      m_owner(owner),
      m_gate([this] { ::PostMessageW(m_hwnd, kDrainMessage, 0, 0); }) {
  // The progress bar and the table are common controls.
  static const bool commonControls = [] {
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    return InitCommonControlsEx(&classes) != FALSE;
  }();
  (void)commonControls;
  if (owner != nullptr) m_gate.JoinFamilyOf(owner->m_gate);
  const EmptyTemplate empty = MakeTemplate(owner == nullptr ? kDialogStyle | WS_MINIMIZEBOX
                                                            : kDialogStyle);
  m_hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &empty.header,
                                      owner != nullptr ? owner->m_hwnd : nullptr, MainProc,
                                      reinterpret_cast<LPARAM>(this));
  if (m_hwnd == nullptr) throw std::runtime_error("the dialog window could not be created");
  SetWindowTextW(m_hwnd, Wide(dialog.caption).c_str());
  BuildMenuBar();
  CreateControls();
  // Enter presses the template's default button (the main window's is the hidden IDOK).
  for (const ControlTemplate& c : dialog.controls) {
    if (c.kind != ControlKind::DefPushButton) continue;
    SendMessageW(m_hwnd, DM_SETDEFID, static_cast<WPARAM>(c.id), 0);
    break;
  }
  Layout(static_cast<int>(DpiOf(m_hwnd)));
  CentreWindow(m_hwnd, owner != nullptr ? owner->m_hwnd : nullptr);
}

Win32DialogWindow::~Win32DialogWindow() {
  m_gate.End();
  if (m_hwnd != nullptr) {
    for (int timer : m_timers) KillTimer(m_hwnd, static_cast<UINT_PTR>(timer));
    SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    // Without redrawing as each control goes (under Wine that costs seconds for this dialog).
    SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
    DestroyWindow(m_hwnd);
  }
  if (m_font != nullptr) DeleteObject(m_font);
  if (m_bigIcon != nullptr) DestroyIcon(m_bigIcon);
  if (m_smallIcon != nullptr) DestroyIcon(m_smallIcon);
}

// The template's menu bar, as a real menu of the window; its commands arrive as WM_COMMAND.
void Win32DialogWindow::BuildMenuBar() {
  if (m_dialog.menus.empty()) return;
  m_menu = CreateMenu();
  for (const MenuTemplate& menu : m_dialog.menus) {
    HMENU popup = CreatePopupMenu();
    for (const MenuItemTemplate& item : menu.items) {
      if (item.id == 0) {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(item.id), Wide(item.text).c_str());
      m_menuItems.insert(item.id);
    }
    AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Wide(menu.title).c_str());
  }
  SetMenu(m_hwnd, m_menu);
}

void Win32DialogWindow::CreateControls() {
  const std::vector<HWND> created = CreateTemplateControls(m_hwnd, m_dialog);
  for (size_t k = 0; k < created.size(); ++k) {
    const ControlTemplate& c = m_dialog.controls[k];
    m_all.push_back({&c, created[k]});
    if (c.id != IDC_STATIC) m_indexOf[c.id] = k;
  }
}

// Fonts, icons, control places and the window's size for a DPI: at start and whenever the
// window moves to a screen of another scale.
void Win32DialogWindow::Layout(int dpi) {
  m_dpi = dpi;
  // A shown window is redrawn once, after every control has moved.
  const bool shown = IsWindowVisible(m_hwnd) != FALSE;
  if (shown) SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
  HDC dc = GetDC(m_hwnd);
  HFONT font = MakeFont(CjkFace(dc).c_str(), m_dialog.fontPoints, dpi, GB2312_CHARSET);
  ReleaseDC(m_hwnd, dc);
  HICON big = LoadAppIcon(SM_CXICON, static_cast<UINT>(dpi));
  HICON small = LoadAppIcon(SM_CXSMICON, static_cast<UINT>(dpi));
  std::vector<HWND> controls;
  for (const Control& c : m_all) controls.push_back(c.hwnd);
  const SIZE client = PlaceControls(m_hwnd, m_dialog, controls, font, big, dpi);
  SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (m_font != nullptr) DeleteObject(m_font);
  if (m_bigIcon != nullptr) DestroyIcon(m_bigIcon);
  if (m_smallIcon != nullptr) DestroyIcon(m_smallIcon);
  m_font = font;
  m_bigIcon = big;
  m_smallIcon = small;
  SizeWindow(m_hwnd, client, dpi);
  if (shown) {
    SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(m_hwnd, nullptr, nullptr,
                 RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }
}

const Win32DialogWindow::Control& Win32DialogWindow::At(int id) const {
  auto it = m_indexOf.find(id);
  if (it == m_indexOf.end()) throw std::out_of_range("no control " + std::to_string(id));
  return m_all[it->second];
}

std::string Win32DialogWindow::GetText(int id) const {
  const Control& c = At(id);
  switch (c.source->kind) {
    case ControlKind::CheckBox:
      return SendMessageW(c.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "";
    case ControlKind::Progress:
      return std::to_string(SendMessageW(c.hwnd, PBM_GETPOS, 0, 0));
    case ControlKind::Table: {
      auto it = m_tableTexts.find(id);
      return it == m_tableTexts.end() ? std::string() : it->second;
    }
    default:
      break;
  }
  const std::string text = WindowText(c.hwnd);
  return (c.source->style & kMultiLine) != 0 ? win32::FromCrLf(text) : text;
}

// Texts equal to what the control shows are not set again: a refresh of the whole window then
// costs only the fields that changed, and no caret or scroll position is disturbed.
void Win32DialogWindow::SetText(int id, const std::string& text) {
  const Control& c = At(id);
  const ControlKind kind = c.source->kind;
  switch (kind) {
    case ControlKind::CheckBox:
      SendMessageW(c.hwnd, BM_SETCHECK, text == "1" ? BST_CHECKED : BST_UNCHECKED, 0);
      return;
    case ControlKind::Progress:
      SendMessageW(c.hwnd, PBM_SETPOS, static_cast<WPARAM>(ProgressPart(text)), 0);
      return;
    case ControlKind::Table:
      SetTableText(c, text);
      return;
    default:
      break;
  }
  if (kind == ControlKind::DropList || kind == ControlKind::DropDown) {
    const int current = static_cast<int>(SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0));
    const int selection = SelectionForText(kind, ListEntries(id), current, text);
    if (selection != current) SendMessageW(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    if (kind == ControlKind::DropDown && WindowText(c.hwnd) != text) {
      SetWindowTextW(c.hwnd, Wide(text).c_str());
    }
    return;
  }
  if (GetText(id) == text) return;
  const bool multiLine = (c.source->style & kMultiLine) != 0;
  SetWindowTextW(c.hwnd, Wide(multiLine ? win32::ToCrLf(text) : text).c_str());
}

// The rows replace those shown; the row selected stays selected while there is a row of its place.
void Win32DialogWindow::SetTableText(const Control& c, const std::string& text) {
  const int id = c.source->id;
  if (m_tableTexts[id] == text) return;
  m_tableTexts[id] = text;
  const std::vector<std::vector<std::string>> rows = TableRows(text);
  const int selected = ListSelection(id);
  const size_t columns = c.source->entries.size();
  m_settingTable = true;
  SendMessageW(c.hwnd, WM_SETREDRAW, FALSE, 0);
  SendMessageW(c.hwnd, LVM_DELETEALLITEMS, 0, 0);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t k = 0; k < rows[r].size() && k < columns; ++k) {
      std::wstring cell = Wide(rows[r][k]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = static_cast<int>(k);
      item.pszText = cell.data();
      SendMessageW(c.hwnd, k == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, r,
                   reinterpret_cast<LPARAM>(&item));
    }
  }
  if (selected >= 0 && selected < static_cast<int>(rows.size())) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(c.hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(selected),
                 reinterpret_cast<LPARAM>(&state));
  }
  FitColumns(c.hwnd, columns, m_dpi);
  m_settingTable = false;
  SendMessageW(c.hwnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(c.hwnd, nullptr, TRUE);
}

ControlKind Win32DialogWindow::KindOf(int id) const { return At(id).source->kind; }

std::vector<std::string> Win32DialogWindow::ListEntries(int id) const {
  auto it = m_entries.find(id);
  if (it != m_entries.end()) return it->second;
  const ControlTemplate& c = *At(id).source;
  return std::vector<std::string>(c.entries.begin(), c.entries.end());
}

void Win32DialogWindow::SetListEntries(int id, const std::vector<std::string>& entries) {
  const Control& c = At(id);
  const std::string shown = WindowText(c.hwnd);
  m_entries[id] = entries;
  SendMessageW(c.hwnd, CB_RESETCONTENT, 0, 0);
  for (const std::string& entry : entries) {
    SendMessageW(c.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
  }
  // The list drops down wide enough for its longest name ("USB Serial Port (COM14)"), however
  // narrow the field.
  HDC dc = GetDC(c.hwnd);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(c.hwnd, WM_GETFONT, 0, 0)));
  int widest = 0;
  for (const std::string& entry : entries) {
    const std::wstring text = Wide(entry);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    widest = std::max(widest, static_cast<int>(size.cx));
  }
  SelectObject(dc, old);
  ReleaseDC(c.hwnd, dc);
  const int margins = MetricForDpi(SM_CXVSCROLL, static_cast<UINT>(m_dpi)) + MulDiv(8, m_dpi, 96);
  SendMessageW(c.hwnd, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margins), 0);
  const auto found = std::find(entries.begin(), entries.end(), shown);
  const int index = found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
  SendMessageW(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (c.source->kind == ControlKind::DropDown && index < 0) {
    SetWindowTextW(c.hwnd, Wide(shown).c_str());
  }
}

int Win32DialogWindow::ListSelection(int id) const {
  const Control& c = At(id);
  if (c.source->kind == ControlKind::Table) {
    return static_cast<int>(
        SendMessageW(c.hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }
  if (c.source->kind != ControlKind::DropList && c.source->kind != ControlKind::DropDown) return -1;
  const int current = static_cast<int>(SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0));
  return ReportedSelection(c.source->kind, ListEntries(id), current, WindowText(c.hwnd));
}

void Win32DialogWindow::SelectListEntry(int id, int index) {
  const Control& c = At(id);
  if (c.source->kind == ControlKind::Table) {
    if (index < 0 || index >= static_cast<int>(SendMessageW(c.hwnd, LVM_GETITEMCOUNT, 0, 0))) {
      return;
    }
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    m_settingTable = true;
    SendMessageW(c.hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&state));
    SendMessageW(c.hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    m_settingTable = false;
    return;
  }
  const std::vector<std::string> entries = ListEntries(id);
  if (index < 0 || index >= static_cast<int>(entries.size())) return;
  const std::string entry = entries[static_cast<size_t>(index)];
  if (SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0) == index && WindowText(c.hwnd) == entry) return;
  SendMessageW(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (c.source->kind == ControlKind::DropDown && WindowText(c.hwnd) != entry) {
    SetWindowTextW(c.hwnd, Wide(entry).c_str());
  }
}

void Win32DialogWindow::EnableControl(int id, bool enable) {
  HWND hwnd = At(id).hwnd;
  if ((IsWindowEnabled(hwnd) != FALSE) == enable) return;
  // A disabled control keeps no focus, and the focus does not jump on to the next field (which
  // would run that field's focus handler): the window itself holds it meanwhile.
  HWND focus = GetFocus();
  if (!enable && focus != nullptr && (focus == hwnd || IsChild(hwnd, focus))) {
    m_windowHoldsFocus = true;
    SetFocus(m_hwnd);
  }
  EnableWindow(hwnd, enable ? TRUE : FALSE);
}

bool Win32DialogWindow::IsControlEnabled(int id) const {
  return IsWindowEnabled(At(id).hwnd) != FALSE;
}

void Win32DialogWindow::SetCaption(const std::string& caption) {
  SetWindowTextW(m_hwnd, Wide(caption).c_str());
}

void Win32DialogWindow::MessageBox(const std::string& text) {
  const std::wstring title = Wide(win32::ApplicationTitle(ModuleFileName()));
  m_gate.BeginMessageBox();  // ticks and posted messages wait until the operator has read it
  ::MessageBoxW(IsWindowVisible(m_hwnd) ? m_hwnd : nullptr, Wide(text).c_str(), title.c_str(),
                MB_OK);
  m_gate.EndMessageBox();
}

bool Win32DialogWindow::Ask(const std::string& text) {
  QuestionState state;
  state.caption = Wide(WindowText(m_hwnd));
  state.text = Wide(text);
  const EmptyTemplate empty = MakeTemplate(kDialogStyle);
  m_gate.BeginMessageBox();  // ticks and posted messages wait for the answer
  const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &empty.header,
                                                 IsWindowVisible(m_hwnd) ? m_hwnd : nullptr,
                                                 QuestionProc, reinterpret_cast<LPARAM>(&state));
  m_gate.EndMessageBox();
  if (state.font != nullptr) DeleteObject(state.font);
  return answer == IDYES;
}

int Win32DialogWindow::SetTimer(int timerId, int periodMs) {
  if (timerId == 0 || periodMs <= 0 || m_runEnded) return 0;
  if (::SetTimer(m_hwnd, static_cast<UINT_PTR>(timerId), static_cast<UINT>(periodMs), nullptr) ==
      0) {
    return 0;
  }
  m_timers.insert(timerId);
  return timerId;
}

void Win32DialogWindow::ShowAboutBox() {
  const EmptyTemplate empty = MakeTemplate(kDialogStyle);
  AboutState state;
  // The About box is opened outside the dialog's logic: its ticks and posted messages go on.
  const int depth = m_gate.SuspendForModalBox();
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &empty.header, m_hwnd, AboutProc,
                          reinterpret_cast<LPARAM>(&state));
  m_gate.ResumeAfterModalBox(depth);
}

void Win32DialogWindow::EnableMenuItem(int commandId, bool enable) {
  if (m_menu == nullptr || m_menuItems.count(commandId) == 0) return;
  ::EnableMenuItem(m_menu, static_cast<UINT>(commandId),
                   MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

std::optional<std::string> Win32DialogWindow::AskSaveFile(const std::string& title,
                                                          const std::string& suggestedPath,
                                                          const std::string& filter) {
  return AskFile(true, title, suggestedPath, filter);
}

std::optional<std::string> Win32DialogWindow::AskOpenFile(const std::string& title,
                                                          const std::string& filter) {
  return AskFile(false, title, {}, filter);
}

// The system's file chooser, in wide characters so that every path the system can name comes
// back whole. Raised inside a handler, it holds ticks and posted messages as a message box does.
std::optional<std::string> Win32DialogWindow::AskFile(bool save, const std::string& title,
                                                      const std::string& suggestedPath,
                                                      const std::string& filter) {
  const std::u16string patterns = win32::FileChooserFilter(filter);
  const std::wstring wideFilter(patterns.begin(), patterns.end());
  const std::wstring wideTitle = Wide(title);
  const std::wstring extension = Wide(DefaultExtension(filter));
  std::wstring suggested = Wide(suggestedPath);
  std::replace(suggested.begin(), suggested.end(), L'/', L'\\');
  const size_t slash = suggested.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : suggested.substr(0, slash);
  const std::wstring name = slash == std::wstring::npos ? suggested : suggested.substr(slash + 1);
  constexpr size_t kPathRoom = 32768;  // the longest path of the wide-character calls
  std::wstring file(kPathRoom, L'\0');
  std::copy_n(name.begin(), std::min(name.size(), kPathRoom - 1), file.begin());

  OPENFILENAMEW chooser{};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = IsWindowVisible(m_hwnd) ? m_hwnd : nullptr;
  chooser.lpstrFilter = wideFilter.c_str();
  chooser.nFilterIndex = 1;
  chooser.lpstrFile = file.data();
  chooser.nMaxFile = static_cast<DWORD>(file.size());
  chooser.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  chooser.lpstrTitle = wideTitle.c_str();
  chooser.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  chooser.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                  (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  m_gate.BeginMessageBox();
  const BOOL chosen = save ? GetSaveFileNameW(&chooser) : GetOpenFileNameW(&chooser);
  m_gate.EndMessageBox();
  if (chosen == FALSE) return std::nullopt;
  return Narrow(file.c_str(), wcsnlen(file.c_str(), file.size()));
}

bool Win32DialogWindow::OpenFolder(const std::string& path) {
  const std::wstring folder = Wide(path);
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  const auto started = reinterpret_cast<INT_PTR>(
      ShellExecuteW(m_hwnd, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return started > 32;
}

// The child dialog is a window of its own, owned by this one, which it disables while it runs,
// as a modal dialog does. This window's ticks and posted messages go on meanwhile, as for the
// About box; a message box or file chooser of either holds both.
void Win32DialogWindow::RunChildDialog(const DialogTemplate& dialog, ChildDialog& child) {
  Win32DialogWindow window(dialog, this);
  window.SetHandler(&child);
  child.Attach(&window);
  const int depth = m_gate.SuspendForModalBox();
  m_child = &window;
  if (!m_runEnded) window.RunModal();
  m_child = nullptr;
  m_gate.ResumeAfterModalBox(depth);
  window.SetHandler(nullptr);
  child.Attach(nullptr);
}

void Win32DialogWindow::EndDialog() { EndRun(); }

std::string Win32DialogWindow::ModuleFileName() const {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return Narrow(path.data(), length);
    path.resize(path.size() * 2);
  }
}

// The message goes through the window's queue, as the link's completion always has; the
// dialog's own first-in first-out list decides when its handler runs.
void Win32DialogWindow::PostMessage(uint32_t message, int32_t wParam, int32_t lParam) {
  m_gate.Post(message, wParam, lParam);
  ::PostMessageW(m_hwnd, message == WM_LINK_DONE ? WM_LINK_DONE : kDrainMessage,
                 static_cast<WPARAM>(static_cast<uint32_t>(wParam)), lParam);
}

void Win32DialogWindow::RunModal() {
  if (m_runEnded) return;  // a child dialog ended as it was given its window
  if (m_owner == nullptr && HasSystemMenu()) {
    AppendSystemMenuItem(reinterpret_cast<uintptr_t>(m_hwnd), LoadResourceString(IDS_ABOUTBOX),
                         IDM_ABOUTBOX);
  }
  if (m_owner != nullptr) EnableWindow(m_owner->m_hwnd, FALSE);
  ShowWindow(m_hwnd, SW_SHOW);
  SetForegroundWindow(m_hwnd);
  // The focus starts on the first visible control that takes it in tab order.
  const int first = win32::InitialFocus(m_dialog);
  if (first != 0)
    SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(At(first).hwnd), TRUE);
  MSG msg;
  BOOL got = TRUE;
  while (!m_runEnded && (got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    if (IsDialogMessageW(m_hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // A quit message ends the run as well, and is left for the loop around this one, as the dialog
  // manager leaves it: a child dialog ended that way still gives its owner back the input.
  if (got == 0) {
    PostQuitMessage(static_cast<int>(msg.wParam));
    EndRun();
  }
}

// The timers go with the window: no tick and no posted message reaches the dialog after this. A
// child dialog open over the window ends with it; a child gives its owner back the input before it
// goes, so that the owner becomes the active window again.
void Win32DialogWindow::EndRun() {
  if (m_runEnded) return;
  m_runEnded = true;
  if (m_child != nullptr) m_child->EndRun();
  m_gate.End();
  for (int timer : m_timers) KillTimer(m_hwnd, static_cast<UINT_PTR>(timer));
  m_timers.clear();
  if (m_owner != nullptr) EnableWindow(m_owner->m_hwnd, TRUE);
  ShowWindow(m_hwnd, SW_HIDE);
  ::PostMessageW(m_hwnd, WM_NULL, 0, 0);  // wakes the run's loop, which then ends
}

void Win32DialogWindow::OnCommand(int id, uint16_t code) {
  if (id == IDCANCEL) {
    if (code == BN_CLICKED) EndRun();
    return;
  }
  if (id == IDOK) {
    // Enter without a default button of the template's does nothing.
    if (code == BN_CLICKED && m_indexOf.count(IDOK) != 0) m_gate.OK();
    return;
  }
  auto it = m_indexOf.find(id);
  if (it == m_indexOf.end()) return;
  const std::optional<Notification> notification =
      win32::NotificationOf(m_all[it->second].source->kind, code);
  if (notification) Deliver(id, *notification);
}

// A greyed item sends no command; one that comes all the same (sent by another program) is
// dropped too.
void Win32DialogWindow::OnMenuCommand(int commandId) {
  const UINT state = GetMenuState(m_menu, static_cast<UINT>(commandId), MF_BYCOMMAND);
  if (state == static_cast<UINT>(-1) || (state & (MF_GRAYED | MF_DISABLED)) != 0) return;
  m_gate.MenuCommand(commandId);
}

void Win32DialogWindow::OnTableNotify(int id, uint32_t code, intptr_t details) {
  auto it = m_indexOf.find(id);
  if (it == m_indexOf.end() || m_all[it->second].source->kind != ControlKind::Table) return;
  switch (code) {
    case NM_SETFOCUS:
      Deliver(id, Notification::SetFocus);
      break;
    case NM_KILLFOCUS:
      Deliver(id, Notification::KillFocus);
      break;
    case LVN_ITEMCHANGED: {
      // The operator selected a row (with the mouse or the keyboard): a click on the table.
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(details);
      const bool selected = (change->uChanged & LVIF_STATE) != 0 &&
                            (change->uNewState & LVIS_SELECTED) != 0 &&
                            (change->uOldState & LVIS_SELECTED) == 0;
      if (selected && !m_settingTable) Deliver(id, Notification::Clicked);
      break;
    }
    default:
      break;
  }
}

void Win32DialogWindow::Deliver(int id, Notification notification) {
  const Control& c = At(id);
  switch (notification) {
    case Notification::Clicked:
      m_gate.Clicked(id);
      break;
    case Notification::DropDown:
      m_gate.DroppedDown(id);
      break;
    case Notification::SetFocus:
      m_windowHoldsFocus = false;
      m_gate.FocusGained(id);
      break;
    case Notification::KillFocus: {
      // An editable list left behind shows its text unselected, as an edit field does.
      if (c.source->kind == ControlKind::DropDown) {
        SendMessageW(c.hwnd, CB_SETEDITSEL, 0, MAKELPARAM(-1, 0));
      }
      HWND focus = GetFocus();
      m_gate.FocusLost(id, focus != nullptr && (focus == m_hwnd || IsChild(m_hwnd, focus)));
      break;
    }
  }
}

intptr_t Win32DialogWindow::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_COMMAND:
      // A menu's command comes with no control and notification code 0.
      if (lParam == 0 && HIWORD(wParam) == 0 && m_menuItems.count(LOWORD(wParam)) != 0) {
        OnMenuCommand(LOWORD(wParam));
      } else {
        OnCommand(LOWORD(wParam), HIWORD(wParam));
      }
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      OnTableNotify(static_cast<int>(header->idFrom), header->code, lParam);
      return FALSE;
    }
    case WM_TIMER:
      m_gate.Tick(static_cast<int>(wParam));
      return TRUE;
    case WM_LINK_DONE:
    case kDrainMessage:
      m_gate.Drain();
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0u) == static_cast<uintptr_t>(IDM_ABOUTBOX)) {
        if (*LoadResourceString(IDS_ABOUTBOX) != '\0')
          m_gate.SysCommand(static_cast<uint32_t>(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_SETFOCUS:
      // The window keeps a focus parked on it rather than passing it to a control.
      return m_windowHoldsFocus ? TRUE : FALSE;
    case WM_DPICHANGED: {
      Layout(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
      return TRUE;
    }
    default:
      return FALSE;
  }
}
