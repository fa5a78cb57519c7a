#include "window/win32/win32_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/list_rules.h"

namespace {

using namespace win32;
using K = ControlKind;
using Entries = std::vector<std::string>;

ControlTemplate Row(K kind, uint32_t style, const char* text = "") {
  return {1000, kind, text, 10, 20, 30, 12, style, {}, nullptr};
}

TEST(Win32Controls, MapEveryKindOfTheTemplateToItsWindowClassAndStyles) {
  struct Case {
    ControlTemplate control;
    const char* className;
    uint32_t style;
    uint32_t exStyle;
  };
  constexpr uint32_t kChild = kWsChild | kWsVisible;
  constexpr uint32_t kStop = kWsTabStop | kWsGroup;
  const Case cases[] = {
      {Row(K::PushButton, kTabStop), "BUTTON", kChild | kStop | kBsPushButton | kBsNotify, 0},
      {Row(K::DefPushButton, kHidden), "BUTTON", kWsChild | kBsDefPushButton | kBsNotify, 0},
      {Row(K::GroupBox, 0), "BUTTON", kChild | kBsGroupBox, 0},
      {Row(K::Edit, kTabStop), "EDIT", kChild | kStop | kEsAutoHScroll, kWsExClientEdge},
      {Row(K::Edit, kTabStop | kReadOnly | kRightAligned), "EDIT",
       kChild | kStop | kEsRight | kEsReadOnly | kEsAutoHScroll, kWsExClientEdge},
      {Row(K::Edit, kTabStop | kReadOnly | kMultiLine), "EDIT",
       kChild | kStop | kEsReadOnly | kEsMultiLine | kEsAutoVScroll | kWsVScroll, kWsExClientEdge},
      {Row(K::Label, kCentered), "STATIC", kChild | kSsCenter | kSsNoPrefix, kWsExNoParentNotify},
      {Row(K::DropList, kTabStop), "COMBOBOX",
       kChild | kStop | kCbsDropDownList | kCbsHasStrings | kWsVScroll, 0},
      {Row(K::DropDown, kTabStop), "COMBOBOX",
       kChild | kStop | kCbsDropDown | kCbsAutoHScroll | kCbsHasStrings | kWsVScroll, 0},
      {Row(K::Icon, 0), "STATIC", kChild | kSsIcon, kWsExNoParentNotify},
      {Row(K::CheckBox, kTabStop), "BUTTON", kChild | kStop | kBsAutoCheckBox | kBsNotify, 0},
      {Row(K::Progress, 0), "msctls_progress32", kChild, 0},
      {Row(K::Table, kTabStop), "SysListView32",
       kChild | kStop | kLvsReport | kLvsSingleSel | kLvsShowSelAlways | kLvsNoSortHeader,
       kWsExClientEdge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.control.kind));
    const ControlClass cls = ClassOf(c.control);
    EXPECT_STREQ(cls.className, c.className);
    EXPECT_EQ(cls.style, c.style);
    EXPECT_EQ(cls.exStyle, c.exStyle);
  }
}

TEST(Win32Controls, PlaceTheMainDialogInDialogUnitsOfItsFontsBaseUnits) {
  // MS Sans Serif 8 at 96 DPI: the 52 letters are 286 pixels wide, the line 13 high.
  const BaseUnits units = BaseUnitsOf(286, 13);
  EXPECT_EQ(units.cx, 6);
  EXPECT_EQ(units.cy, 13);
  const DialogTemplate& main = MainDialogTemplate();
  EXPECT_EQ(DluToPixelsX(main.cx, units), 755);
  EXPECT_EQ(DluToPixelsY(main.cy, units), 608);
  // The send log at (30, 247), 196 x 61 units.
  EXPECT_EQ(ToPixels(*FindControl(main, 1009), units), (PixelRect{45, 401, 294, 99}));
  // The protocol list, 64 units wide, at 150 %.
  EXPECT_EQ(ToPixels(*FindControl(main, 1008), DefaultBaseUnits(144)),
            (PixelRect{23, 53, 144, 30}));
  EXPECT_EQ(DefaultBaseUnits(96).cx, 6);
  EXPECT_EQ(DefaultBaseUnits(144).cy, 20);  // 150 %: 19.5 rounds up, as MulDiv does
}

TEST(Win32Controls, GrowLabelsToTheFontsLineAndTheirTextAwayFromTheirAlignment) {
  const PixelRect cell{100, 50, 40, 13};
  EXPECT_EQ(PlaceLabel(cell, 0, 16, 30), (PixelRect{100, 49, 40, 16}));
  EXPECT_EQ(PlaceLabel(cell, 0, 12, 60), (PixelRect{100, 50, 60, 13}));
  EXPECT_EQ(PlaceLabel(cell, kRightAligned, 12, 60), (PixelRect{80, 50, 60, 13}));
  EXPECT_EQ(PlaceLabel(cell, kCentered, 12, 60), (PixelRect{90, 50, 60, 13}));
}

TEST(Win32Controls, GiveListsAFieldAsHighAsAnEditAndRoomToDropDown) {
  const BaseUnits units{6, 13};
  EXPECT_EQ(ListFieldHeight(units, 13), 20);  // 12 units
  EXPECT_EQ(ListFieldHeight(units, 19), 25);  // a taller font keeps its frame
  EXPECT_EQ(ListCreateHeight(20, 16, 2), 20 + 2 * 16 + 2);
  EXPECT_EQ(ListCreateHeight(20, 16, 30), 20 + kListVisibleEntries * 16 + 2);
}

TEST(Win32Controls, ShowInAListOnlyWhatTheListRulesAllow) {
  const Entries enables = {"未使能", "巳使能"};
  const Entries parities = {"NONE", "ODD", "EVEN"};
  struct Case {
    K kind;
    const Entries& entries;
    int current;
    std::string text;
    int selected;  // after the text is set
  };
  const Case cases[] = {
      {K::DropList, parities, 0, "ODD", 1},
      {K::DropList, parities, 0, "odd", -1},  // a fixed list matches its entries exactly
      {K::DropList, parities, 2, "", -1},     // an empty text shows no entry
      {K::DropDown, enables, 1, "巳使能", 1},
      {K::DropDown, enables, 1, "未使能", -1},  // typed text is not looked up
      {K::DropDown, enables, -1, "7", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SelectionForText(c.kind, c.entries, c.current, c.text), c.selected);
  }
  EXPECT_EQ(ReportedSelection(K::DropDown, enables, 0, "未使能"), 0);
  EXPECT_EQ(ReportedSelection(K::DropDown, enables, 0, "未使"), -1);
  EXPECT_EQ(ReportedSelection(K::DropList, parities, 5, "NONE"), -1);
}

TEST(Win32Controls, TurnCommandCodesIntoTheNotificationsOfTheMessageTable) {
  EXPECT_EQ(NotificationOf(K::PushButton, kBnClicked), Notification::Clicked);
  EXPECT_EQ(NotificationOf(K::PushButton, kBnKillFocus), Notification::KillFocus);
  EXPECT_EQ(NotificationOf(K::Edit, kEnSetFocus), Notification::SetFocus);
  EXPECT_EQ(NotificationOf(K::Edit, kEnKillFocus), Notification::KillFocus);
  EXPECT_EQ(NotificationOf(K::DropDown, kCbnSetFocus), Notification::SetFocus);
  EXPECT_EQ(NotificationOf(K::DropList, kCbnKillFocus), Notification::KillFocus);
  EXPECT_EQ(NotificationOf(K::DropList, kCbnDropDown), Notification::DropDown);
  EXPECT_EQ(NotificationOf(K::CheckBox, kBnClicked), Notification::Clicked);
  EXPECT_EQ(NotificationOf(K::CheckBox, kBnSetFocus), Notification::SetFocus);
  // The same numbers mean other things for other classes: an edit's change (0x300), a list's
  // selection change (1) and double click (2) are no notifications of the dialog.
  EXPECT_EQ(NotificationOf(K::Edit, kCbnSetFocus), std::nullopt);
  EXPECT_EQ(NotificationOf(K::DropList, 1), std::nullopt);
  EXPECT_EQ(NotificationOf(K::Edit, 0x300), std::nullopt);
}

TEST(Win32Controls, StartWithTheFocusOnTheSendLog) {
  EXPECT_EQ(InitialFocus(MainDialogTemplate()), 1009);
  EXPECT_EQ(InitialFocus(AboutDialogTemplate()), IDOK);
}

TEST(Win32Controls, ConvertTextsBetweenUtf8AndUtf16WithoutLosingACharacter) {
  const std::string texts[] = {"φUa", "第 3 次接收信息帖(Hex) : 01 03", "巳使能",
                               "\xF0\x9F\x98\x80", ""};
  for (const std::string& text : texts) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b\xE4\xB8"),
            u"a\uFFFDb\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // an overlong '/'
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
}

TEST(Win32Controls, KeepLineBreaksAndTitlesAsTheWindowsCallsWantThem) {
  EXPECT_EQ(ToCrLf("a\nb\r\nc"), "a\r\nb\r\nc");
  EXPECT_EQ(FromCrLf("a\r\nb\rc"), "a\nb\rc");
  EXPECT_EQ(ApplicationTitle("C:\\Program Files\\Quorvel\\quorvel.exe"), "quorvel");
  EXPECT_EQ(ApplicationTitle("Z:\\opt\\q.1\\quorvel"), "quorvel");
  EXPECT_EQ(ChooseCjkFace({"@SimSun", "SimSun", "Microsoft YaHei UI"}), "Microsoft YaHei UI");
  EXPECT_EQ(ChooseCjkFace({"@Noto Sans CJK SC", "Noto Sans CJK SC", "Noto Serif CJK SC"}),
            "Noto Sans CJK SC");
  EXPECT_EQ(ChooseCjkFace({}), "");
  EXPECT_EQ(FileChooserFilter("CSV (*.csv)"), std::u16string(u"CSV (*.csv)\0*.csv\0\0", 19));
  EXPECT_EQ(FileChooserFilter("表格 (*.csv *.txt)"),
            std::u16string(u"表格 (*.csv *.txt)\0*.csv;*.txt\0\0", 30));
}

}  // namespace
