#pragma once

#include <cstdint>
#include <span>

#include "resources/resource.h"

// The dialog templates, string table and icon of the console, as data shared by the headless
// window, the Qt window and the tests. Positions are in dialog units of the template font
// (8-point: one unit is 1.5 px across and 1.625 px down at 96 DPI).
//
// Order: the rows of a template are its tab order. A field's label is the Label row just before
// it. Hidden controls come first, so the first visible control with kTabStop takes the focus
// when the window opens.
//
// Accessible names: what a screen reader says for a control is the text that labels it on screen.
// accessibleName is nullptr when that text is plain from the table: a button's or label's own
// caption, or, for a field or list, the Label row just before it. A button whose caption changes
// at run time is named by its caption alone, so its name is always the caption shown.
// Every other control names it: a grid cell by its row and column headings ("总 +KWh", "3 U1",
// "过流 出口延时"), a field of a column heading or a captioned frame by that heading or caption
// ("通讯规约", "提示信息"), a button whose caption repeats or says little by the caption with
// what it acts on ("清空 发送帧"), and a field whose label repeats another field's by its frame's
// caption too ("事件查询 Yx").

enum class ControlKind : uint8_t {
  PushButton,     // a command button
  DefPushButton,  // the default button (the Enter key)
  Edit,           // a text field
  Label,          // static text
  GroupBox,       // a labelled frame
  DropList,       // a drop-down list that takes no typed text
  DropDown,       // a drop-down list with an editable field
  Icon,           // the application icon
  CheckBox,       // a check box: its text is "1" while checked, "" otherwise; clicking toggles it
  Progress,       // a progress bar: its text is the part done, "0" to "100"
  Table,          // a table of rows: entries are the column headings; its text is the rows, one
                  // per line, cells separated by tabs; ListSelection is the row selected (-1: none),
                  // which stays while a row of its place remains; the operator selecting a row is
                  // a click on the table
};

enum ControlStyle : uint32_t {
  kReadOnly = 1u << 0,
  kMultiLine = 1u << 1,  // multi-line and scrolling (the frame logs)
  kHidden = 1u << 2,
  kTabStop = 1u << 3,
  kCentered = 1u << 4,  // centred label text
  kRightAligned = 1u << 5,
};

struct ControlTemplate {
  int id;  // IDC_STATIC for labels and frames
  ControlKind kind;
  const char* text;                      // label or caption; initial text
  int x, y, cx, cy;                      // dialog units
  uint32_t style;                        // ControlStyle bits
  std::span<const char* const> entries;  // initial entries of a drop-down list
  const char* accessibleName;            // what a screen reader says when text does not name it
};

// One item of a menu: a command, or a separator (id 0).
struct MenuItemTemplate {
  int id;
  const char* text;
};

// One menu of a window's menu bar.
struct MenuTemplate {
  const char* title;
  std::span<const MenuItemTemplate> items;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int cx, cy;  // dialog units, the client area under the menu bar
  const char* fontName;
  int fontPoints;
  std::span<const ControlTemplate> controls;  // in tab order
  std::span<const MenuTemplate> menus = {};   // the menu bar above the dialog; none when empty
};

const DialogTemplate& MainDialogTemplate();   // template 102
const DialogTemplate& AboutDialogTemplate();  // template 100
// Template 103, the question box of the Windows window: the question (set when it opens) beside
// an icon, and 是 and 否 under it, 否 the default.
const DialogTemplate& QuestionDialogTemplate();
// Template 104, the scan window: the port, the addresses and line settings to try, the wait,
// 开始/停止, the progress, the results table and 采用.
const DialogTemplate& ScanDialogTemplate();
// The string table: 101 is the About item's text. Unknown ids give "".
const char* LoadResourceString(int id);
// The template row of a control of template 102, or nullptr.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);
