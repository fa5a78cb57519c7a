#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "resources/dialog_templates.h"

namespace {

using K = ControlKind;
using Entries = std::vector<std::string>;

bool IsButton(K kind) { return kind == K::PushButton || kind == K::DefPushButton; }
bool IsStatic(K kind) { return kind == K::Label || kind == K::GroupBox || kind == K::Icon; }
bool Visible(const ControlTemplate& c) { return (c.style & kHidden) == 0; }

std::string Text(const char* text) { return text != nullptr ? text : ""; }

Entries EntriesOf(const ControlTemplate& c) {
  Entries entries;
  for (const char* e : c.entries) entries.emplace_back(e);
  return entries;
}

std::vector<int> Ids(const DialogTemplate& dialog) {
  std::vector<int> ids;
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id != IDC_STATIC) ids.push_back(c.id);
  }
  return ids;
}

// The window's controls, as the operator sees them. Read-only fields are marked.
struct Expected {
  int id;
  K kind;
  bool readOnly;
  const char* caption;  // buttons only
  Entries entries;
};

const Entries kPorts = {
    "COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:", "COM9:"};
const Entries kBauds = {"300", "600", "1200", "2400", "4800", "9600", "19200", "19200"};
const Entries kWirings = {"三相四线",     "一相二线", "三相三线",
                          "三相三线平衡", "一相三线", "三相四线平衡"};
const Entries kEnables = {"未使能", "巳使能"};
const Entries kChannels = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
const Entries kZeroOne = {"0", "1"};

std::vector<Expected> ExpectedControls() {
  std::vector<Expected> all = {
      {IDOK, K::DefPushButton, false, "确定", {}},
      {IDCANCEL, K::PushButton, false, "取消", {}},
      {1069, K::Edit, true, nullptr, {}},
      {1068, K::PushButton, false, "读实时数据", {}},
      {1092, K::PushButton, false, "0", {}},
      {1072, K::Edit, true, nullptr, {}},
      {1009, K::Edit, true, nullptr, {}},
      {1012, K::PushButton, false, "清空", {}},
      {1011, K::Edit, true, nullptr, {}},
      {1013, K::PushButton, false, "清空", {}},
      {1008, K::DropList, false, nullptr, {"Modbus RTU", "Modbus ASCII"}},
      {1028, K::Edit, false, nullptr, {}},
      {1002, K::DropList, false, nullptr, kPorts},
      {1003, K::DropList, false, nullptr, kBauds},
      {1004, K::DropList, false, nullptr, {"NONE", "ODD", "EVEN"}},
      {1005, K::DropList, false, nullptr, {"7", "8"}},
      {1006, K::DropList, false, nullptr, {"1", "2"}},
      {1007, K::Edit, true, nullptr, {}},
      {1073, K::Edit, false, nullptr, {}},
      {1097, K::PushButton, false, "+", {}},
      {1098, K::PushButton, false, "-", {}},
      {1074, K::Edit, false, nullptr, {}},
      {1093, K::Edit, true, nullptr, {}},
      {1075, K::Edit, false, nullptr, {}},
      {1076, K::PushButton, false, "读寄存器", {}},
      {1077, K::PushButton, false, "写寄存器", {}},
      {1049, K::DropDown, false, nullptr, kWirings},
      {1099, K::PushButton, false, "读参数", {}},
      {1088, K::PushButton, false, "写参数", {}},
      {1050, K::Edit, false, nullptr, {}},
      {1055, K::Edit, false, nullptr, {}},
      {1045, K::PushButton, false, "读遥信", {}},
      {1046, K::Edit, true, nullptr, {}},
      {1047, K::PushButton, false, "读遥控", {}},
      {1048, K::Edit, true, nullptr, {}},
      {1143, K::DropDown, false, nullptr, kChannels},
      {1145, K::DropDown, false, nullptr, kZeroOne},
      {1144, K::DropDown, false, nullptr, kZeroOne},
      {1142, K::PushButton, false, "执  行", {}},
      {1128, K::Edit, true, nullptr, {}},
      {1129, K::Edit, true, nullptr, {}},
      {1130, K::PushButton, false, "校时", {}},
      {1000, K::PushButton, false, "上一事件", {}},
      {1126, K::PushButton, false, "下一事件", {}},
      {1127, K::PushButton, false, "当前事件", {}},
      {1154, K::PushButton, false, "清事件", {}},
      {1159, K::Edit, false, nullptr, {}},
  };
  const int readOnlyFields[] = {
      // Real-time data, energy and harmonics.
      1001, 1010, 1014, 1019, 1015, 1016, 1017, 1018, 1029, 1030, 1031, 1032, 1020, 1021, 1022,
      1027, 1023, 1024, 1025, 1026, 1033, 1034, 1035, 1040, 1036, 1037, 1038, 1039, 1103, 1104,
      1105, 1110, 1106, 1107, 1108, 1109, 1041, 1042, 1043, 1044, 1134, 1135, 1136, 1137, 1138,
      1139, 1140, 1141, 1164, 1165, 1166, 1167, 1051, 1052, 1070, 1053, 1054, 1071, 1078, 1111,
      1112, 1096, 1100, 1117, 1101, 1102, 1118, 1119, 1120, 1121,
      // The event record.
      1079, 1080, 1081, 1082, 1083, 1084, 1085, 1113, 1114, 1122, 1123, 1124, 1125};
  for (int id : readOnlyFields) all.push_back({id, K::Edit, true, nullptr, {}});
  const int operatorFields[] = {// Protection grid, then the peak and valley periods.
                                1057, 1056, 1059, 1062, 1061, 1060, 1065, 1064, 1067, 1087, 1086,
                                1090, 1089, 1094, 1091, 1115, 1095, 1131, 1116, 1133, 1132};
  for (int id : operatorFields) all.push_back({id, K::Edit, false, nullptr, {}});
  for (int id : {1058, 1063, 1066}) all.push_back({id, K::DropDown, false, nullptr, kEnables});
  return all;
}

TEST(MainTemplate, HoldsEveryControlOnceWithItsKindCaptionAndEntries) {
  const DialogTemplate& dialog = MainDialogTemplate();
  const std::vector<Expected> expected = ExpectedControls();
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.id);
    const std::vector<int> ids = Ids(dialog);
    ASSERT_EQ(std::count(ids.begin(), ids.end(), e.id), 1);
    const ControlTemplate& c = *FindControl(dialog, e.id);
    EXPECT_EQ(c.kind, e.kind);
    EXPECT_EQ((c.style & kReadOnly) != 0, e.readOnly);
    if (e.caption != nullptr) {
      EXPECT_EQ(Text(c.text), e.caption);
    }
    EXPECT_EQ(EntriesOf(c), e.entries);
  }
  // Nothing else: every control of the window is one of those above.
  EXPECT_EQ(Ids(dialog).size(), expected.size());
}

TEST(MainTemplate, OnlyTheFrameLogsAreMultiLineAndOnlyTheEnterAndEscapeButtonsAreHidden) {
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ((c.style & kMultiLine) != 0, c.id == 1009 || c.id == 1011);
    EXPECT_EQ((c.style & kHidden) != 0, c.id == IDOK || c.id == IDCANCEL);
  }
}

TEST(MainTemplate, IsTheConsoleWindowOfItsSizeFontAndCaption) {
  const DialogTemplate& dialog = MainDialogTemplate();
  EXPECT_EQ(dialog.id, IDD_MAIN);
  EXPECT_STREQ(dialog.caption, "Quorvel");
  EXPECT_EQ(dialog.cx, 503);
  EXPECT_EQ(dialog.cy, 374);
  EXPECT_STREQ(dialog.fontName, "MS Sans Serif");
  EXPECT_EQ(dialog.fontPoints, 8);
}

// Texts the window shows beside its fields: frames, headings and labels.
TEST(MainTemplate, ShowsEveryFrameCaptionHeadingAndLabel) {
  std::multiset<std::string> shown;
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    if (c.kind == K::Label || c.kind == K::GroupBox) shown.insert(Text(c.text));
  }
  const char* const frames[] = {"主机通讯设定  ", "实时数据",      "谐波含量",
                                "寄存器",         "事件查询",      "从机通讯设定 ",
                                "用电高峰时段 ",  "用电低谷时段 ", "提示信息"};
  const char* const headings[] = {"通讯规约", "从机地址", "通讯端口", "波特率",
                                  "奇偶校验", "数据位",   "停止位",   "通讯设定值",
                                  "+KWh",     "-KWh",     "+KVarh",   "-KVarh",
                                  "出口使能", "出口延时", "保持时间", "出口定值"};
  const char* const labels[] = {
      "通讯成败记数", "发送帧",  "接收帧", "Uan",    "Ubn",     "Ucn",   "f",      "Ian",
      "Ibn",          "Icn",     "I0n",    "Uca",    "Uab",     "Ubc",   "Uav",    "Pan",
      "Pbn",          "Pcn",     "Psum",   "Qan",    "Qbn",     "Qcn",   "Qsum",   "PFan",
      "PFbn",         "PFcn",    "PFav",   "San",    "Sbn",     "Scn",   "Ssum",   "φUa",
      "φUb",          "φUc",     "Vpm10",  "φIa",    "φIb",     "φIc",   "Iav",    "总",
      "峰",           "平",      "谷",     "编号",   "值(Hex)", "名 称", "实际值", "接线方式",
      "过流 PT",      "欠压 CT", "零流",   "Yk通道", "分/合",   "确 认", "日期",   "时间",
      "序号",         "名称",    "U2",     "U3",     "I2",      "I3",    "偏移"};
  for (const char* text : frames) EXPECT_EQ(shown.count(text), 1u) << text;
  for (const char* text : headings) EXPECT_EQ(shown.count(text), 1u) << text;
  for (const char* text : labels) EXPECT_EQ(shown.count(text), 1u) << text;
  // The harmonic columns and the event record's first voltage and current.
  EXPECT_EQ(shown.count("U1"), 2u);
  EXPECT_EQ(shown.count("I1"), 2u);
  // Row numbers: harmonic orders, protection outputs and period rows.
  for (const char* order : {"5", "7", "9", "11", "13", "15", "17", "19"}) {
    EXPECT_EQ(shown.count(order), 1u) << order;
  }
  EXPECT_EQ(shown.count("0"), 1u);
  EXPECT_EQ(shown.count("3"), 2u);  // harmonic order and third peak period
  EXPECT_EQ(shown.count("1"), 3u);  // protection row, first peak and first valley period
  EXPECT_EQ(shown.count("2"), 3u);
  EXPECT_EQ(shown.count("4"), 1u);
}

// The controls the message table routes each notification from, and what kinds may send it.
TEST(MainTemplate, HoldsEveryControlTheMessageTableRoutesWithAKindThatSendsIt) {
  struct Route {
    const char* what;
    std::vector<int> ids;
    std::set<K> kinds;
  };
  const std::set<K> buttons = {K::PushButton}, edits = {K::Edit};
  const std::set<K> lists = {K::DropList, K::DropDown};
  const std::set<K> fields = {K::Edit, K::DropList, K::DropDown};
  const Route routes[] = {
      {"counters and logs clicked", {1092, 1012, 1013, 1068}, buttons},
      {"edits gaining the focus",
       {1028, 1050, 1055, 1056, 1057, 1059, 1060, 1061, 1062, 1064, 1065, 1067, 1073, 1074,
        1075, 1086, 1087, 1089, 1090, 1091, 1094, 1095, 1115, 1116, 1131, 1132, 1133, 1159},
       edits},
      {"lists gaining the focus",
       {1002, 1003, 1004, 1005, 1008, 1049, 1058, 1063, 1066, 1143, 1144, 1145},
       lists},
      {"line settings losing the focus", {1002, 1003, 1004, 1005, 1006, 1008}, lists},
      {"slave address losing the focus", {1028}, edits},
      {"parameters clicked", {1099, 1088}, buttons},
      {"parameter fields losing the focus",
       {1049, 1050, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067},
       fields},
      {"remote control clicked", {1045, 1047, 1142}, buttons},
      {"register browser clicked", {1076, 1077, 1097, 1098}, buttons},
      {"register values losing the focus", {1074, 1075}, edits},
      {"event browser clicked", {1127, 1000, 1126, 1154}, buttons},
      {"clock clicked", {1130}, buttons},
      {"settings and periods losing the focus",
       {1159, 1086, 1087, 1089, 1090, 1091, 1094, 1095, 1115, 1116, 1131, 1132, 1133},
       edits},
  };
  for (const Route& route : routes) {
    for (int id : route.ids) {
      SCOPED_TRACE(std::string(route.what) + " " + std::to_string(id));
      const ControlTemplate* c = FindControl(MainDialogTemplate(), id);
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(route.kinds.count(c->kind), 1u);
      // An operator reaches it: visible, with a tab stop, and editable when it is a field.
      EXPECT_TRUE(Visible(*c));
      EXPECT_NE(c->style & kTabStop, 0u);
      EXPECT_EQ(c->style & kReadOnly, 0u);
    }
  }
}

TEST(MainTemplate, PutsTheHiddenButtonsFirstAndTheSendLogFirstToTakeTheFocus) {
  const DialogTemplate& dialog = MainDialogTemplate();
  ASSERT_GE(dialog.controls.size(), 3u);
  EXPECT_EQ(dialog.controls[0].id, IDOK);
  EXPECT_EQ(dialog.controls[1].id, IDCANCEL);
  const auto first = std::find_if(
      dialog.controls.begin(), dialog.controls.end(),
      [](const ControlTemplate& c) { return Visible(c) && (c.style & kTabStop) != 0; });
  ASSERT_NE(first, dialog.controls.end());
  EXPECT_EQ(first->id, 1009);
}

TEST(MainTemplate, GivesATabStopToEveryVisibleControlThatTakesTheFocusAndToNoStaticText) {
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    SCOPED_TRACE(c.id);
    const bool takesFocus = !IsStatic(c.kind) && Visible(c);
    EXPECT_EQ((c.style & kTabStop) != 0, takesFocus);
    EXPECT_EQ(c.id == IDC_STATIC, IsStatic(c.kind));
  }
}

// What a screen reader says: the explicit name, else a button's caption, else the label before.
std::string AccessibleName(const DialogTemplate& dialog, size_t k) {
  const ControlTemplate& c = dialog.controls[k];
  if (c.accessibleName != nullptr) return c.accessibleName;
  if (IsButton(c.kind)) return Text(c.text);
  for (size_t j = k; j-- > 0;) {
    if (dialog.controls[j].kind == K::Label) return Text(dialog.controls[j].text);
  }
  return "";
}

TEST(MainTemplate, NamesEveryVisibleControlForAScreenReaderEachByADifferentName) {
  const DialogTemplate& dialog = MainDialogTemplate();
  std::map<std::string, int> owner;
  for (size_t k = 0; k < dialog.controls.size(); ++k) {
    const ControlTemplate& c = dialog.controls[k];
    if (c.id == IDC_STATIC || !Visible(c)) continue;
    const std::string name = AccessibleName(dialog, k);
    EXPECT_FALSE(name.empty()) << c.id;
    const auto [it, fresh] = owner.emplace(name, c.id);
    EXPECT_TRUE(fresh) << c.id << " and " << it->second << " are both called " << name;
  }
}

TEST(MainTemplate, LabelsEachLabelledFieldWithTheLabelJustBeforeIt) {
  const std::map<int, const char*> labelled = {
      {1001, "Uan"},    {1110, "Vpm10"},  {1109, "Iav"},      {1069, "通讯成败记数"},
      {1009, "发送帧"}, {1011, "接收帧"}, {1073, "编号"},     {1074, "值(Hex)"},
      {1093, "名 称"},  {1075, "实际值"}, {1049, "接线方式"}, {1046, "Yx"},
      {1048, "Yk"},     {1143, "Yk通道"}, {1145, "分/合"},    {1144, "确 认"},
      {1079, "日期"},   {1080, "时间"},   {1081, "序号"},     {1082, "名称"},
      {1083, "U1"},     {1122, "I3"},     {1125, "偏移"}};
  const DialogTemplate& dialog = MainDialogTemplate();
  for (size_t k = 1; k < dialog.controls.size(); ++k) {
    const auto it = labelled.find(dialog.controls[k].id);
    if (it == labelled.end()) continue;
    EXPECT_EQ(dialog.controls[k - 1].kind, K::Label) << it->first;
    EXPECT_EQ(Text(dialog.controls[k - 1].text), it->second) << it->first;
  }
}

// A grid's column headings are one label per column, as wide as its cells and just above the
// first row, and each cell is named by its row and its column ("总 +KWh"; a one-row grid by
// its column alone).
TEST(MainTemplate, PutsEachColumnHeadingOverItsColumnAndNamesEachCellByRowAndColumn) {
  struct Grid {
    std::vector<std::string> headings;
    std::vector<std::string> rows;
    std::vector<std::vector<int>> cells;  // by row, then column
  };
  const Grid grids[] = {
      {{"通讯规约", "从机地址", "通讯端口", "波特率", "奇偶校验", "数据位", "停止位", "通讯设定值"},
       {""},
       {{1008, 1028, 1002, 1003, 1004, 1005, 1006, 1007}}},
      {{"+KWh", "-KWh", "+KVarh", "-KVarh"},
       {"总", "峰", "平", "谷"},
       {{1041, 1042, 1043, 1044},
        {1134, 1135, 1136, 1137},
        {1138, 1139, 1140, 1141},
        {1164, 1165, 1166, 1167}}},
      {{"U1", "I1"},
       {"3", "5", "7", "9", "11", "13", "15", "17", "19"},
       {{1051, 1096},
        {1052, 1100},
        {1070, 1117},
        {1053, 1101},
        {1054, 1102},
        {1071, 1118},
        {1078, 1119},
        {1111, 1120},
        {1112, 1121}}},
      {{"出口使能", "出口延时", "保持时间", "出口定值"},
       {"过流", "欠压", "零流"},
       {{1058, 1057, 1056, 1059}, {1063, 1062, 1061, 1060}, {1066, 1065, 1064, 1067}}},
  };
  const DialogTemplate& dialog = MainDialogTemplate();
  for (const Grid& grid : grids) {
    for (size_t col = 0; col < grid.headings.size(); ++col) {
      SCOPED_TRACE(grid.headings[col]);
      const ControlTemplate& top = *FindControl(dialog, grid.cells[0][col]);
      const auto heading = std::find_if(
          dialog.controls.begin(), dialog.controls.end(), [&](const ControlTemplate& c) {
            return c.kind == K::Label && Text(c.text) == grid.headings[col] && c.x == top.x;
          });
      ASSERT_NE(heading, dialog.controls.end());
      EXPECT_EQ(heading->cx, top.cx);
      EXPECT_LE(heading->y + heading->cy, top.y);
      EXPECT_GE(heading->y + heading->cy + 4, top.y);
      for (size_t row = 0; row < grid.rows.size(); ++row) {
        const ControlTemplate& cell = *FindControl(dialog, grid.cells[row][col]);
        EXPECT_EQ(cell.x, top.x) << cell.id;
        EXPECT_EQ(cell.cx, top.cx) << cell.id;
        const std::string name =
            grid.rows[row].empty() ? grid.headings[col] : grid.rows[row] + " " + grid.headings[col];
        EXPECT_EQ(Text(cell.accessibleName), name) << cell.id;
      }
    }
  }
}

// ---- Layout ----

struct Rect {
  int x, y, cx, cy;
  bool Contains(const Rect& r) const {
    return r.x >= x && r.y >= y && r.x + r.cx <= x + cx && r.y + r.cy <= y + cy;
  }
  bool Overlaps(const Rect& r) const {
    return r.x < x + cx && x < r.x + r.cx && r.y < y + cy && y < r.y + r.cy;
  }
};

Rect RectOf(const ControlTemplate& c) { return {c.x, c.y, c.cx, c.cy}; }

std::string Describe(const ControlTemplate& c) {
  return std::to_string(c.id) + " \"" + Text(c.text) + "\"";
}

std::vector<const ControlTemplate*> VisibleControls(const DialogTemplate& dialog) {
  std::vector<const ControlTemplate*> shown;
  for (const ControlTemplate& c : dialog.controls) {
    if (Visible(c)) shown.push_back(&c);
  }
  return shown;
}

class TemplateLayout : public ::testing::TestWithParam<const DialogTemplate& (*)()> {};

TEST_P(TemplateLayout, KeepsEveryControlInsideTheWindow) {
  const DialogTemplate& dialog = GetParam()();
  const Rect window{0, 0, dialog.cx, dialog.cy};
  for (const ControlTemplate* c : VisibleControls(dialog)) {
    EXPECT_GT(c->cx, 0) << Describe(*c);
    EXPECT_GT(c->cy, 0) << Describe(*c);
    EXPECT_TRUE(window.Contains(RectOf(*c))) << Describe(*c);
  }
}

TEST_P(TemplateLayout, OverlapsNoControlWithAnotherExceptFramesAroundThem) {
  const auto shown = VisibleControls(GetParam()());
  for (size_t a = 0; a < shown.size(); ++a) {
    for (size_t b = a + 1; b < shown.size(); ++b) {
      if (shown[a]->kind == K::GroupBox || shown[b]->kind == K::GroupBox) continue;
      EXPECT_FALSE(RectOf(*shown[a]).Overlaps(RectOf(*shown[b])))
          << Describe(*shown[a]) << " overlaps " << Describe(*shown[b]);
    }
  }
}

TEST_P(TemplateLayout, PutsEveryControlTouchingAFrameWhollyInsideIt) {
  const auto shown = VisibleControls(GetParam()());
  for (const ControlTemplate* frame : shown) {
    if (frame->kind != K::GroupBox) continue;
    for (const ControlTemplate* c : shown) {
      if (c == frame || !RectOf(*frame).Overlaps(RectOf(*c))) continue;
      EXPECT_TRUE(RectOf(*frame).Contains(RectOf(*c)))
          << Describe(*c) << " straddles the frame " << Describe(*frame);
    }
  }
}

// 8 units hold a line of 8-point CJK text; a field or button needs its frame around that, a check
// box a little room beside its box.
int LeastHeight(K kind) {
  if (kind == K::Label || kind == K::Progress || IsStatic(kind)) return 8;
  if (kind == K::CheckBox) return 10;
  return IsButton(kind) ? 14 : 12;
}

TEST_P(TemplateLayout, GivesEveryTextRoomForALineOfCjkText) {
  for (const ControlTemplate* c : VisibleControls(GetParam()())) {
    const int least = LeastHeight(c->kind);
    EXPECT_GE(c->cy, least) << Describe(*c);
  }
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateLayout,
                         ::testing::Values(&MainDialogTemplate, &AboutDialogTemplate,
                                           &QuestionDialogTemplate, &ScanDialogTemplate));

// ---- About box and string table ----

TEST(AboutTemplate, ShowsTheIconTheVersionLineAndTheDefaultOkButton) {
  const DialogTemplate& about = AboutDialogTemplate();
  EXPECT_EQ(about.id, IDD_ABOUTBOX);
  EXPECT_STREQ(about.caption, "关于Quorvel");
  EXPECT_EQ(about.cx, 217);
  EXPECT_EQ(about.cy, 55);
  std::vector<K> kinds;
  for (const ControlTemplate& c : about.controls) kinds.push_back(c.kind);
  EXPECT_EQ(kinds, (std::vector<K>{K::Icon, K::Label, K::DefPushButton}));
  EXPECT_EQ(Text(about.controls[1].text), "Quorvel 1.0 版");
  const ControlTemplate* ok = FindControl(about, IDOK);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(Text(ok->text), "确定");
  EXPECT_NE(ok->style & kTabStop, 0u);
}

TEST(StringTable, HoldsTheAboutItemTextAndNothingElse) {
  EXPECT_STREQ(LoadResourceString(IDS_ABOUTBOX), "关于Quorvel");
  for (int unknown : {0, 100, 102, 128, -1}) EXPECT_STREQ(LoadResourceString(unknown), "");
}

TEST(FindControl, GivesNullForAnIdTheTemplateDoesNotHold) {
  EXPECT_EQ(FindControl(MainDialogTemplate(), 1168), nullptr);
  EXPECT_EQ(FindControl(AboutDialogTemplate(), 1009), nullptr);
}

}  // namespace
