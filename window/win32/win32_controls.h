#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/dialog_templates.h"
#include "window/dialog_window.h"

// What the Windows window makes of a dialog template, kept apart from the Win32 calls so that it
// builds and is tested on every platform: window classes and style bits, dialog units to pixels,
// the drop-down list rules, the notification codes and the text conversions at the API boundary.

namespace win32 {

// Style bits as the Win32 headers define them (the window checks they agree).
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsDisabled = 0x08000000;
constexpr uint32_t kWsVScroll = 0x00200000;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsExClientEdge = 0x00000200;
constexpr uint32_t kWsExNoParentNotify = 0x00000004;

constexpr uint32_t kEsLeft = 0x0000;
constexpr uint32_t kEsCenter = 0x0001;
constexpr uint32_t kEsRight = 0x0002;
constexpr uint32_t kEsMultiLine = 0x0004;
constexpr uint32_t kEsAutoVScroll = 0x0040;
constexpr uint32_t kEsAutoHScroll = 0x0080;
constexpr uint32_t kEsReadOnly = 0x0800;

constexpr uint32_t kBsPushButton = 0x0000;
constexpr uint32_t kBsDefPushButton = 0x0001;
constexpr uint32_t kBsAutoCheckBox = 0x0003;
constexpr uint32_t kBsGroupBox = 0x0007;
constexpr uint32_t kBsNotify = 0x4000;

constexpr uint32_t kSsLeft = 0x0000;
constexpr uint32_t kSsCenter = 0x0001;
constexpr uint32_t kSsRight = 0x0002;
constexpr uint32_t kSsIcon = 0x0003;
constexpr uint32_t kSsNoPrefix = 0x0080;

constexpr uint32_t kCbsDropDown = 0x0002;
constexpr uint32_t kCbsDropDownList = 0x0003;
constexpr uint32_t kCbsAutoHScroll = 0x0040;
constexpr uint32_t kCbsHasStrings = 0x0200;

constexpr uint32_t kLvsReport = 0x0001;
constexpr uint32_t kLvsSingleSel = 0x0004;
constexpr uint32_t kLvsShowSelAlways = 0x0008;
constexpr uint32_t kLvsNoSortHeader = 0x8000;

// Notification codes of WM_COMMAND's high word.
constexpr uint16_t kBnClicked = 0;
constexpr uint16_t kBnSetFocus = 6;
constexpr uint16_t kBnKillFocus = 7;
constexpr uint16_t kEnSetFocus = 0x0100;
constexpr uint16_t kEnKillFocus = 0x0200;
constexpr uint16_t kCbnSetFocus = 3;
constexpr uint16_t kCbnKillFocus = 4;
constexpr uint16_t kCbnDropDown = 7;

// The window class and styles of one control of a template.
struct ControlClass {
  // "BUTTON", "EDIT", "STATIC", "COMBOBOX", and of the common controls "msctls_progress32" and
  // "SysListView32"
  const char* className;
  uint32_t style;
  uint32_t exStyle;
};
ControlClass ClassOf(const ControlTemplate& control);

// The dialog base units: pixels per 4 horizontal and per 8 vertical dialog units.
struct BaseUnits {
  int cx;
  int cy;
};
// What a Windows dialog derives from its font: the average width of the 52 letters A-Z and a-z,
// rounded, and the font's line height (text metrics' height).
BaseUnits BaseUnitsOf(int widthOf52Letters, int lineHeight);
// The template font's base units when it cannot be measured: 6 x 13 pixels at 96 DPI, scaled.
BaseUnits DefaultBaseUnits(int dpi);

struct PixelRect {
  int x, y, cx, cy;
  bool operator==(const PixelRect&) const = default;
};
// Dialog units to pixels, rounded as MapDialogRect rounds.
int DluToPixelsX(int dlu, BaseUnits units);
int DluToPixelsY(int dlu, BaseUnits units);
PixelRect ToPixels(const ControlTemplate& control, BaseUnits units);

// A label keeps its cell's vertical centre but grows to the font's line height, and a text wider
// than its cell overflows on the side away from its alignment, so that no CJK glyph is cut.
PixelRect PlaceLabel(PixelRect cell, uint32_t style, int lineHeight, int textWidth);
// The selection field of a drop-down list: as high as an edit field of the template (12 units),
// or the font's line height with its frame when that is more.
int ListFieldHeight(BaseUnits units, int lineHeight);
// The height a combo box is created with: its field and room for the entries to drop down (at
// most kListVisibleEntries at once).
constexpr int kListVisibleEntries = 10;
int ListCreateHeight(int fieldHeight, int itemHeight, size_t entryCount);

// The notification a WM_COMMAND code of a control of this kind stands for.
std::optional<Notification> NotificationOf(ControlKind kind, uint16_t code);

// The first control the focus lands on when the window opens: the first visible control with a
// tab stop, in tab order; 0 when none.
int InitialFocus(const DialogTemplate& dialog);

// The filter of the system's file choosers: the name, then its patterns joined by ';', each ending
// in a NUL, and one NUL more ("CSV (*.csv)\0*.csv\0\0").
std::u16string FileChooserFilter(const std::string& filter);

// UTF-8 inside, UTF-16 at the API boundary. Malformed UTF-8 and lone surrogates become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
// Multi-line edit fields break lines at CR LF; the logic's texts break them at LF.
std::string ToCrLf(const std::string& text);
std::string FromCrLf(const std::string& text);

// The face of the window's CJK font: "Microsoft YaHei UI" when it is among the families that
// cover GB2312, else the first of them that is not a vertical ('@') face; "" when there is none.
std::string ChooseCjkFace(const std::vector<std::string>& gb2312Families);

// The message boxes' title: the executable's file name without its extension.
std::string ApplicationTitle(const std::string& modulePath);

}  // namespace win32
