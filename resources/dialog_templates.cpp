#include "resources/dialog_templates.h"

// Template 102 is laid out in three columns under the host settings row: real-time data, energy
// and the frame logs on the left; harmonics, tariff periods and the clock in the middle; the
// register browser, remote control, parameters, events, the meter's serial settings and the
// status on the right. Fields are 12 units high on rows 14 units apart (13 in the harmonic
// grid), which leaves room for CJK text at 8 points; buttons are 14 high, one unit above the row.
// A grid's column headings are one label per column, as wide as its column and centred over it,
// so each heading stays over its column in whatever font the window draws. Fields are as wide as
// the widest text their format prints, where their column leaves the room; the window shows the
// whole text of a narrower one as a tooltip.

namespace {

// Operator fields, shown values and the two frame logs: all take the focus.
constexpr uint32_t kField = kTabStop;
constexpr uint32_t kShown = kTabStop | kReadOnly;
constexpr uint32_t kLog = kTabStop | kReadOnly | kMultiLine;

const char* const kProtocols[] = {"Modbus RTU", "Modbus ASCII"};
const char* const kPorts[] = {
    "COM1:", "COM2:", "COM3:", "COM4:", "COM5:", "COM6:", "COM7:", "COM8:", "COM9:"};
// The last two baud entries are equal: a refresh selects the first of them.
const char* const kBauds[] = {"300", "600", "1200", "2400", "4800", "9600", "19200", "19200"};
const char* const kParities[] = {"NONE", "ODD", "EVEN"};
const char* const kDataBits[] = {"7", "8"};
const char* const kStopBits[] = {"1", "2"};
const char* const kWirings[] = {"三相四线",     "一相二线", "三相三线",
                                "三相三线平衡", "一相三线", "三相四线平衡"};
const char* const kEnables[] = {"未使能", "巳使能"};
const char* const kChannels[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
const char* const kZeroOne[] = {"0", "1"};

using K = ControlKind;

const ControlTemplate kMainControls[] = {
    // The Enter and Escape keys: hidden, before every control that takes the focus.
    {IDOK, K::DefPushButton, "确定", 0, 0, 1, 1, kHidden, {}, nullptr},
    {IDCANCEL, K::PushButton, "取消", 0, 0, 1, 1, kHidden, {}, nullptr},

    // Frame logs, first in the tab order: the focus lands on the send log at start-up.
    {IDC_STATIC, K::Label, "发送帧", 4, 249, 24, 8, 0, {}, nullptr},
    {IDC_TX_LOG, K::Edit, "", 30, 247, 196, 61, kLog, {}, nullptr},
    {IDC_CLEAR_TX_LOG, K::PushButton, "清空", 4, 260, 24, 14, kTabStop, {}, "清空 发送帧"},
    {IDC_STATIC, K::Label, "接收帧", 4, 313, 24, 8, 0, {}, nullptr},
    {IDC_RX_LOG, K::Edit, "", 30, 311, 196, 61, kLog, {}, nullptr},
    {IDC_CLEAR_RX_LOG, K::PushButton, "清空", 4, 324, 24, 14, kTabStop, {}, "清空 接收帧"},

    // Host communication settings: one row, each field under its column heading.
    {IDC_STATIC, K::GroupBox, "主机通讯设定  ", 4, 2, 372, 34, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "通讯规约", 10, 11, 64, 8, kCentered, {}, nullptr},
    {IDC_PROTOCOL, K::DropList, "", 10, 21, 64, 12, kField, kProtocols, "通讯规约"},
    {IDC_STATIC, K::Label, "从机地址", 76, 11, 30, 8, kCentered, {}, nullptr},
    {IDC_SLAVE_ADDRESS, K::Edit, "", 76, 21, 30, 12, kField, {}, "从机地址"},
    {IDC_STATIC, K::Label, "通讯端口", 108, 11, 40, 8, kCentered, {}, nullptr},
    {IDC_PORT, K::DropList, "", 108, 21, 40, 12, kField, kPorts, "通讯端口"},
    {IDC_STATIC, K::Label, "波特率", 150, 11, 40, 8, kCentered, {}, nullptr},
    {IDC_BAUD, K::DropList, "", 150, 21, 40, 12, kField, kBauds, "波特率"},
    {IDC_STATIC, K::Label, "奇偶校验", 192, 11, 40, 8, kCentered, {}, nullptr},
    {IDC_PARITY, K::DropList, "", 192, 21, 40, 12, kField, kParities, "奇偶校验"},
    {IDC_STATIC, K::Label, "数据位", 234, 11, 28, 8, kCentered, {}, nullptr},
    {IDC_DATA_BITS, K::DropList, "", 234, 21, 28, 12, kField, kDataBits, "数据位"},
    {IDC_STATIC, K::Label, "停止位", 264, 11, 28, 8, kCentered, {}, nullptr},
    {IDC_STOP_BITS, K::DropList, "", 264, 21, 28, 12, kField, kStopBits, "停止位"},
    {IDC_STATIC, K::Label, "通讯设定值", 294, 11, 76, 8, kCentered, {}, nullptr},
    {IDC_COMM_SUMMARY, K::Edit, "", 294, 21, 76, 12, kShown, {}, "通讯设定值"},

    // Transaction counters and continuous reading.
    {IDC_STATIC, K::Label, "通讯成败记数", 380, 6, 44, 8, 0, {}, nullptr},
    {IDC_COUNTS, K::Edit, "", 426, 4, 73, 12, kShown, {}, nullptr},
    {IDC_AUTO_POLL, K::PushButton, "读实时数据", 380, 20, 60, 14, kTabStop, {}, nullptr},
    {IDC_RESET_COUNTS, K::PushButton, "0", 444, 20, 18, 14, kTabStop, {}, "0 通讯成败记数"},

    // Real-time data: nine rows of four labelled fields.
    {IDC_STATIC, K::GroupBox, "实时数据", 4, 38, 222, 138, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "Uan", 7, 51, 18, 8, 0, {}, nullptr},
    {IDC_UAN, K::Edit, "", 26, 49, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Ubn", 60, 51, 18, 8, 0, {}, nullptr},
    {IDC_UBN, K::Edit, "", 79, 49, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Ucn", 113, 51, 18, 8, 0, {}, nullptr},
    {IDC_UCN, K::Edit, "", 132, 49, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "f", 166, 51, 24, 8, 0, {}, nullptr},
    {IDC_FREQ, K::Edit, "", 191, 49, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Ian", 7, 65, 18, 8, 0, {}, nullptr},
    {IDC_IAN, K::Edit, "", 26, 63, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Ibn", 60, 65, 18, 8, 0, {}, nullptr},
    {IDC_IBN, K::Edit, "", 79, 63, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Icn", 113, 65, 18, 8, 0, {}, nullptr},
    {IDC_ICN, K::Edit, "", 132, 63, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "I0n", 166, 65, 24, 8, 0, {}, nullptr},
    {IDC_I0N, K::Edit, "", 191, 63, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Uca", 7, 79, 18, 8, 0, {}, nullptr},
    {IDC_UCA, K::Edit, "", 26, 77, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Uab", 60, 79, 18, 8, 0, {}, nullptr},
    {IDC_UAB, K::Edit, "", 79, 77, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Ubc", 113, 79, 18, 8, 0, {}, nullptr},
    {IDC_UBC, K::Edit, "", 132, 77, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Uav", 166, 79, 24, 8, 0, {}, nullptr},
    {IDC_UAV, K::Edit, "", 191, 77, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Pan", 7, 93, 18, 8, 0, {}, nullptr},
    {IDC_PAN, K::Edit, "", 26, 91, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Pbn", 60, 93, 18, 8, 0, {}, nullptr},
    {IDC_PBN, K::Edit, "", 79, 91, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Pcn", 113, 93, 18, 8, 0, {}, nullptr},
    {IDC_PCN, K::Edit, "", 132, 91, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Psum", 166, 93, 24, 8, 0, {}, nullptr},
    {IDC_PSUM, K::Edit, "", 191, 91, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Qan", 7, 107, 18, 8, 0, {}, nullptr},
    {IDC_QAN, K::Edit, "", 26, 105, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Qbn", 60, 107, 18, 8, 0, {}, nullptr},
    {IDC_QBN, K::Edit, "", 79, 105, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Qcn", 113, 107, 18, 8, 0, {}, nullptr},
    {IDC_QCN, K::Edit, "", 132, 105, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Qsum", 166, 107, 24, 8, 0, {}, nullptr},
    {IDC_QSUM, K::Edit, "", 191, 105, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "PFan", 7, 121, 18, 8, 0, {}, nullptr},
    {IDC_PFAN, K::Edit, "", 26, 119, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "PFbn", 60, 121, 18, 8, 0, {}, nullptr},
    {IDC_PFBN, K::Edit, "", 79, 119, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "PFcn", 113, 121, 18, 8, 0, {}, nullptr},
    {IDC_PFCN, K::Edit, "", 132, 119, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "PFav", 166, 121, 24, 8, 0, {}, nullptr},
    {IDC_PFAV, K::Edit, "", 191, 119, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "San", 7, 135, 18, 8, 0, {}, nullptr},
    {IDC_SAN, K::Edit, "", 26, 133, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Sbn", 60, 135, 18, 8, 0, {}, nullptr},
    {IDC_SBN, K::Edit, "", 79, 133, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Scn", 113, 135, 18, 8, 0, {}, nullptr},
    {IDC_SCN, K::Edit, "", 132, 133, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Ssum", 166, 135, 24, 8, 0, {}, nullptr},
    {IDC_SSUM, K::Edit, "", 191, 133, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "φUa", 7, 149, 18, 8, 0, {}, nullptr},
    {IDC_ARG_UA, K::Edit, "", 26, 147, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "φUb", 60, 149, 18, 8, 0, {}, nullptr},
    {IDC_ARG_UB, K::Edit, "", 79, 147, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "φUc", 113, 149, 18, 8, 0, {}, nullptr},
    {IDC_ARG_UC, K::Edit, "", 132, 147, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Vpm10", 166, 149, 24, 8, 0, {}, nullptr},
    {IDC_VPM10, K::Edit, "", 191, 147, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "φIa", 7, 163, 18, 8, 0, {}, nullptr},
    {IDC_ARG_IA, K::Edit, "", 26, 161, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "φIb", 60, 163, 18, 8, 0, {}, nullptr},
    {IDC_ARG_IB, K::Edit, "", 79, 161, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "φIc", 113, 163, 18, 8, 0, {}, nullptr},
    {IDC_ARG_IC, K::Edit, "", 132, 161, 32, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Iav", 166, 163, 24, 8, 0, {}, nullptr},
    {IDC_IAV, K::Edit, "", 191, 161, 32, 12, kShown, {}, nullptr},

    // Energy, a heading over each column, rows total, peak, flat and valley.
    {IDC_STATIC, K::Label, "+KWh", 20, 179, 50, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "-KWh", 72, 179, 50, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "+KVarh", 124, 179, 50, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "-KVarh", 176, 179, 50, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "总", 7, 189, 10, 8, 0, {}, nullptr},
    {IDC_POS_KWH_TOTAL, K::Edit, "", 20, 187, 50, 12, kShown, {}, "总 +KWh"},
    {IDC_NEG_KWH_TOTAL, K::Edit, "", 72, 187, 50, 12, kShown, {}, "总 -KWh"},
    {IDC_POS_KVARH_TOTAL, K::Edit, "", 124, 187, 50, 12, kShown, {}, "总 +KVarh"},
    {IDC_NEG_KVARH_TOTAL, K::Edit, "", 176, 187, 50, 12, kShown, {}, "总 -KVarh"},
    {IDC_STATIC, K::Label, "峰", 7, 203, 10, 8, 0, {}, nullptr},
    {IDC_POS_KWH_PEAK, K::Edit, "", 20, 201, 50, 12, kShown, {}, "峰 +KWh"},
    {IDC_NEG_KWH_PEAK, K::Edit, "", 72, 201, 50, 12, kShown, {}, "峰 -KWh"},
    {IDC_POS_KVARH_PEAK, K::Edit, "", 124, 201, 50, 12, kShown, {}, "峰 +KVarh"},
    {IDC_NEG_KVARH_PEAK, K::Edit, "", 176, 201, 50, 12, kShown, {}, "峰 -KVarh"},
    {IDC_STATIC, K::Label, "平", 7, 217, 10, 8, 0, {}, nullptr},
    {IDC_POS_KWH_FLAT, K::Edit, "", 20, 215, 50, 12, kShown, {}, "平 +KWh"},
    {IDC_NEG_KWH_FLAT, K::Edit, "", 72, 215, 50, 12, kShown, {}, "平 -KWh"},
    {IDC_POS_KVARH_FLAT, K::Edit, "", 124, 215, 50, 12, kShown, {}, "平 +KVarh"},
    {IDC_NEG_KVARH_FLAT, K::Edit, "", 176, 215, 50, 12, kShown, {}, "平 -KVarh"},
    {IDC_STATIC, K::Label, "谷", 7, 231, 10, 8, 0, {}, nullptr},
    {IDC_POS_KWH_VALLEY, K::Edit, "", 20, 229, 50, 12, kShown, {}, "谷 +KWh"},
    {IDC_NEG_KWH_VALLEY, K::Edit, "", 72, 229, 50, 12, kShown, {}, "谷 -KWh"},
    {IDC_POS_KVARH_VALLEY, K::Edit, "", 124, 229, 50, 12, kShown, {}, "谷 +KVarh"},
    {IDC_NEG_KVARH_VALLEY, K::Edit, "", 176, 229, 50, 12, kShown, {}, "谷 -KVarh"},

    // Harmonic content of U1 and I1, one row per odd order.
    {IDC_STATIC, K::GroupBox, "谐波含量", 230, 38, 76, 138, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "U1", 245, 48, 29, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "I1", 275, 48, 29, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "3", 234, 61, 10, 8, 0, {}, nullptr},
    {IDC_U1_H3, K::Edit, "", 245, 59, 29, 12, kShown, {}, "3 U1"},
    {IDC_I1_H3, K::Edit, "", 275, 59, 29, 12, kShown, {}, "3 I1"},
    {IDC_STATIC, K::Label, "5", 234, 74, 10, 8, 0, {}, nullptr},
    {IDC_U1_H5, K::Edit, "", 245, 72, 29, 12, kShown, {}, "5 U1"},
    {IDC_I1_H5, K::Edit, "", 275, 72, 29, 12, kShown, {}, "5 I1"},
    {IDC_STATIC, K::Label, "7", 234, 87, 10, 8, 0, {}, nullptr},
    {IDC_U1_H7, K::Edit, "", 245, 85, 29, 12, kShown, {}, "7 U1"},
    {IDC_I1_H7, K::Edit, "", 275, 85, 29, 12, kShown, {}, "7 I1"},
    {IDC_STATIC, K::Label, "9", 234, 100, 10, 8, 0, {}, nullptr},
    {IDC_U1_H9, K::Edit, "", 245, 98, 29, 12, kShown, {}, "9 U1"},
    {IDC_I1_H9, K::Edit, "", 275, 98, 29, 12, kShown, {}, "9 I1"},
    {IDC_STATIC, K::Label, "11", 234, 113, 10, 8, 0, {}, nullptr},
    {IDC_U1_H11, K::Edit, "", 245, 111, 29, 12, kShown, {}, "11 U1"},
    {IDC_I1_H11, K::Edit, "", 275, 111, 29, 12, kShown, {}, "11 I1"},
    {IDC_STATIC, K::Label, "13", 234, 126, 10, 8, 0, {}, nullptr},
    {IDC_U1_H13, K::Edit, "", 245, 124, 29, 12, kShown, {}, "13 U1"},
    {IDC_I1_H13, K::Edit, "", 275, 124, 29, 12, kShown, {}, "13 I1"},
    {IDC_STATIC, K::Label, "15", 234, 139, 10, 8, 0, {}, nullptr},
    {IDC_U1_H15, K::Edit, "", 245, 137, 29, 12, kShown, {}, "15 U1"},
    {IDC_I1_H15, K::Edit, "", 275, 137, 29, 12, kShown, {}, "15 I1"},
    {IDC_STATIC, K::Label, "17", 234, 152, 10, 8, 0, {}, nullptr},
    {IDC_U1_H17, K::Edit, "", 245, 150, 29, 12, kShown, {}, "17 U1"},
    {IDC_I1_H17, K::Edit, "", 275, 150, 29, 12, kShown, {}, "17 I1"},
    {IDC_STATIC, K::Label, "19", 234, 165, 10, 8, 0, {}, nullptr},
    {IDC_U1_H19, K::Edit, "", 245, 163, 29, 12, kShown, {}, "19 U1"},
    {IDC_I1_H19, K::Edit, "", 275, 163, 29, 12, kShown, {}, "19 I1"},

    // Tariff periods: start and end of each row.
    {IDC_STATIC, K::GroupBox, "用电高峰时段 ", 230, 179, 76, 68, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "1", 234, 192, 8, 8, 0, {}, nullptr},
    {IDC_PEAK_BEGIN1, K::Edit, "", 243, 190, 30, 12, kField, {}, "用电高峰时段 1 起始"},
    {IDC_PEAK_END1, K::Edit, "", 275, 190, 29, 12, kField, {}, "用电高峰时段 1 结束"},
    {IDC_STATIC, K::Label, "2", 234, 206, 8, 8, 0, {}, nullptr},
    {IDC_PEAK_BEGIN2, K::Edit, "", 243, 204, 30, 12, kField, {}, "用电高峰时段 2 起始"},
    {IDC_PEAK_END2, K::Edit, "", 275, 204, 29, 12, kField, {}, "用电高峰时段 2 结束"},
    {IDC_STATIC, K::Label, "3", 234, 220, 8, 8, 0, {}, nullptr},
    {IDC_PEAK_BEGIN3, K::Edit, "", 243, 218, 30, 12, kField, {}, "用电高峰时段 3 起始"},
    {IDC_PEAK_END3, K::Edit, "", 275, 218, 29, 12, kField, {}, "用电高峰时段 3 结束"},
    {IDC_STATIC, K::Label, "4", 234, 234, 8, 8, 0, {}, nullptr},
    {IDC_PEAK_BEGIN4, K::Edit, "", 243, 232, 30, 12, kField, {}, "用电高峰时段 4 起始"},
    {IDC_PEAK_END4, K::Edit, "", 275, 232, 29, 12, kField, {}, "用电高峰时段 4 结束"},
    {IDC_STATIC, K::GroupBox, "用电低谷时段 ", 230, 250, 76, 40, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "1", 234, 263, 8, 8, 0, {}, nullptr},
    {IDC_VALLEY_BEGIN1, K::Edit, "", 243, 261, 30, 12, kField, {}, "用电低谷时段 1 起始"},
    {IDC_VALLEY_END1, K::Edit, "", 275, 261, 29, 12, kField, {}, "用电低谷时段 1 结束"},
    {IDC_STATIC, K::Label, "2", 234, 277, 8, 8, 0, {}, nullptr},
    {IDC_VALLEY_BEGIN2, K::Edit, "", 243, 275, 30, 12, kField, {}, "用电低谷时段 2 起始"},
    {IDC_VALLEY_END2, K::Edit, "", 275, 275, 29, 12, kField, {}, "用电低谷时段 2 结束"},

    // The meter's clock.
    {IDC_METER_DATE, K::Edit, "", 230, 296, 56, 12, kShown, {}, "仪表日期"},
    {IDC_METER_TIME, K::Edit, "", 230, 310, 56, 12, kShown, {}, "仪表时间"},
    {IDC_SYNC_CLOCK, K::PushButton, "校时", 230, 324, 40, 14, kTabStop, {}, nullptr},

    // Register browser.
    {IDC_STATIC, K::GroupBox, "寄存器", 310, 38, 189, 56, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "编号", 314, 51, 16, 8, 0, {}, nullptr},
    {IDC_REG_NUMBER, K::Edit, "", 331, 49, 30, 12, kField, {}, nullptr},
    {IDC_NEXT_REGISTER, K::PushButton, "+", 363, 48, 14, 14, kTabStop, {}, "寄存器 +"},
    {IDC_PREV_REGISTER, K::PushButton, "-", 379, 48, 14, 14, kTabStop, {}, "寄存器 -"},
    {IDC_STATIC, K::Label, "值(Hex)", 397, 51, 30, 8, 0, {}, nullptr},
    {IDC_REG_HEX, K::Edit, "", 429, 49, 32, 12, kField, {}, nullptr},
    {IDC_STATIC, K::Label, "名 称", 314, 65, 18, 8, 0, {}, nullptr},
    {IDC_REG_NAME, K::Edit, "", 333, 63, 80, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "实际值", 417, 65, 24, 8, 0, {}, nullptr},
    {IDC_REG_REAL, K::Edit, "", 443, 63, 52, 12, kField, {}, nullptr},
    {IDC_READ_REGISTER, K::PushButton, "读寄存器", 333, 76, 44, 14, kTabStop, {}, nullptr},
    {IDC_WRITE_REGISTER, K::PushButton, "写寄存器", 381, 76, 44, 14, kTabStop, {}, nullptr},

    // Remote signalling and remote control.
    {IDC_READ_YX, K::PushButton, "读遥信", 310, 97, 38, 14, kTabStop, {}, nullptr},
    {IDC_STATIC, K::Label, "Yx", 351, 100, 10, 8, 0, {}, nullptr},
    {IDC_YX_BITS, K::Edit, "", 362, 98, 38, 12, kShown, {}, nullptr},
    {IDC_READ_YK, K::PushButton, "读遥控", 404, 97, 38, 14, kTabStop, {}, nullptr},
    {IDC_STATIC, K::Label, "Yk", 445, 100, 10, 8, 0, {}, nullptr},
    {IDC_YK_BITS, K::Edit, "", 456, 98, 43, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Yk通道", 310, 116, 26, 8, 0, {}, nullptr},
    {IDC_YK_CHANNEL, K::DropDown, "", 337, 114, 27, 12, kField, kChannels, nullptr},
    {IDC_STATIC, K::Label, "分/合", 367, 116, 19, 8, 0, {}, nullptr},
    {IDC_YK_STATE, K::DropDown, "", 387, 114, 27, 12, kField, kZeroOne, nullptr},
    {IDC_STATIC, K::Label, "确 认", 417, 116, 19, 8, 0, {}, nullptr},
    {IDC_YK_CONFIRM, K::DropDown, "", 437, 114, 27, 12, kField, kZeroOne, nullptr},
    {IDC_EXECUTE_YK, K::PushButton, "执  行", 467, 113, 32, 14, kTabStop, {}, nullptr},

    // Parameters: wiring, PT and CT, and the protection outputs.
    {IDC_STATIC, K::Label, "接线方式", 310, 135, 30, 8, 0, {}, nullptr},
    {IDC_WIRING, K::DropDown, "", 342, 133, 78, 12, kField, kWirings, nullptr},
    {IDC_READ_PARAMS, K::PushButton, "读参数", 422, 132, 37, 14, kTabStop, {}, nullptr},
    {IDC_WRITE_PARAMS, K::PushButton, "写参数", 462, 132, 37, 14, kTabStop, {}, nullptr},
    {IDC_STATIC, K::Label, "出口使能", 315, 149, 40, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "出口延时", 356, 149, 30, 8, kCentered, {}, nullptr},
    {IDC_STATIC, K::Label, "保持时间", 388, 149, 30, 8, kCentered, {}, nullptr},
    // Nothing stands right of the last heading: it starts over its column and may run past it.
    {IDC_STATIC, K::Label, "出口定值", 420, 149, 29, 8, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "0", 310, 161, 4, 8, 0, {}, nullptr},
    {IDC_YK1_ENABLE, K::DropDown, "", 315, 159, 40, 12, kField, kEnables, "过流 出口使能"},
    {IDC_YK1_DELAY, K::Edit, "", 356, 159, 30, 12, kField, {}, "过流 出口延时"},
    {IDC_YK1_HOLD, K::Edit, "", 388, 159, 30, 12, kField, {}, "过流 保持时间"},
    {IDC_YK1_SETPOINT, K::Edit, "", 420, 159, 29, 12, kField, {}, "过流 出口定值"},
    {IDC_STATIC, K::Label, "过流 PT", 450, 161, 26, 8, 0, {}, nullptr},
    {IDC_PT, K::Edit, "", 477, 159, 22, 12, kField, {}, "PT"},
    {IDC_STATIC, K::Label, "1", 310, 175, 4, 8, 0, {}, nullptr},
    {IDC_YK2_ENABLE, K::DropDown, "", 315, 173, 40, 12, kField, kEnables, "欠压 出口使能"},
    {IDC_YK2_DELAY, K::Edit, "", 356, 173, 30, 12, kField, {}, "欠压 出口延时"},
    {IDC_YK2_HOLD, K::Edit, "", 388, 173, 30, 12, kField, {}, "欠压 保持时间"},
    {IDC_YK2_SETPOINT, K::Edit, "", 420, 173, 29, 12, kField, {}, "欠压 出口定值"},
    {IDC_STATIC, K::Label, "欠压 CT", 450, 175, 26, 8, 0, {}, nullptr},
    {IDC_CT, K::Edit, "", 477, 173, 22, 12, kField, {}, "CT"},
    {IDC_STATIC, K::Label, "2", 310, 189, 4, 8, 0, {}, nullptr},
    {IDC_YK3_ENABLE, K::DropDown, "", 315, 187, 40, 12, kField, kEnables, "零流 出口使能"},
    {IDC_YK3_DELAY, K::Edit, "", 356, 187, 30, 12, kField, {}, "零流 出口延时"},
    {IDC_YK3_HOLD, K::Edit, "", 388, 187, 30, 12, kField, {}, "零流 保持时间"},
    {IDC_YK3_SETPOINT, K::Edit, "", 420, 187, 29, 12, kField, {}, "零流 出口定值"},
    {IDC_STATIC, K::Label, "零流", 450, 189, 26, 8, 0, {}, nullptr},

    // Event browser; its clear button sits just above the group.
    {IDC_CLEAR_EVENTS, K::PushButton, "清事件", 455, 201, 44, 14, kTabStop, {}, nullptr},
    {IDC_STATIC, K::GroupBox, "事件查询", 310, 217, 189, 84, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "日期", 314, 230, 16, 8, 0, {}, nullptr},
    {IDC_EVENT_DATE, K::Edit, "", 331, 228, 43, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "时间", 376, 230, 16, 8, 0, {}, nullptr},
    {IDC_EVENT_TIME, K::Edit, "", 393, 228, 47, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "序号", 442, 230, 16, 8, 0, {}, nullptr},
    {IDC_EVENT_SEQ, K::Edit, "", 459, 228, 36, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "名称", 314, 244, 16, 8, 0, {}, nullptr},
    {IDC_EVENT_NAME, K::Edit, "", 331, 242, 50, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "Yx", 385, 244, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_YX, K::Edit, "", 396, 242, 36, 12, kShown, {}, "事件查询 Yx"},
    {IDC_STATIC, K::Label, "Yk", 436, 244, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_YK, K::Edit, "", 447, 242, 48, 12, kShown, {}, "事件查询 Yk"},
    {IDC_STATIC, K::Label, "U1", 314, 258, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_U1, K::Edit, "", 325, 256, 47, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "U2", 374, 258, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_U2, K::Edit, "", 385, 256, 47, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "U3", 434, 258, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_U3, K::Edit, "", 445, 256, 47, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "I1", 314, 272, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_I1, K::Edit, "", 325, 270, 47, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "I2", 374, 272, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_I2, K::Edit, "", 385, 270, 47, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "I3", 434, 272, 10, 8, 0, {}, nullptr},
    {IDC_EVENT_I3, K::Edit, "", 445, 270, 47, 12, kShown, {}, nullptr},
    {IDC_STATIC, K::Label, "偏移", 314, 286, 16, 8, 0, {}, nullptr},
    {IDC_EVENT_OFFSET, K::Edit, "", 331, 284, 30, 12, kShown, {}, nullptr},
    {IDC_PREV_EVENT, K::PushButton, "上一事件", 365, 283, 42, 14, kTabStop, {}, nullptr},
    {IDC_NEXT_EVENT, K::PushButton, "下一事件", 410, 283, 42, 14, kTabStop, {}, nullptr},
    {IDC_CURRENT_EVENT, K::PushButton, "当前事件", 455, 283, 40, 14, kTabStop, {}, nullptr},

    // The meter's own serial settings, as one line.
    {IDC_STATIC, K::GroupBox, "从机通讯设定 ", 310, 303, 189, 27, 0, {}, nullptr},
    {IDC_SLAVE_SETTINGS, K::Edit, "", 314, 313, 181, 12, kField, {}, "从机通讯设定"},

    // Outcome of the last transaction.
    {IDC_STATIC, K::GroupBox, "提示信息", 310, 333, 189, 27, 0, {}, nullptr},
    {IDC_STATUS, K::Edit, "", 314, 343, 181, 12, kShown, {}, "提示信息"},

};

const ControlTemplate kAboutControls[] = {
    {IDC_STATIC, K::Icon, "", 11, 17, 20, 20, 0, {}, nullptr},
    {IDC_STATIC, K::Label, "Quorvel 1.0 版", 40, 10, 119, 8, 0, {}, nullptr},
    {IDOK, K::DefPushButton, "确定", 178, 7, 32, 14, kTabStop, {}, nullptr},
};

// The question is one line of the label's width or more (the box grows with it); the buttons
// keep to the bottom right corner. 否 takes the focus when the box opens.
const ControlTemplate kQuestionControls[] = {
    {IDC_STATIC, K::Icon, "", 10, 10, 21, 20, 0, {}, nullptr},
    {IDC_QUESTION_TEXT, K::Label, "", 40, 16, 180, 8, 0, {}, nullptr},
    {IDYES, K::PushButton, "是", 120, 40, 50, 14, kTabStop, {}, nullptr},
    {IDNO, K::DefPushButton, "否", 176, 40, 50, 14, kTabStop, {}, nullptr},
};

// The scan window: where to look (port, addresses, the line settings to try, the wait), then what
// was found. Each check box of a speed, parity or framing is one setting to try.
constexpr const char* const kResultColumns[] = {"地址", "波特率", "校验", "规约", "应答",
                                                "仪表通讯设定"};
const ControlTemplate kScanControls[] = {
    {IDCANCEL, K::PushButton, "关闭", 0, 0, 1, 1, kHidden, {}, nullptr},
    {IDC_STATIC, K::Label, "端口", 8, 10, 24, 8, 0, {}, nullptr},
    {IDC_SCAN_PORT, K::DropList, "", 34, 8, 150, 12, kField, {}, "端口"},
    {IDC_STATIC, K::Label, "地址", 196, 10, 20, 8, 0, {}, nullptr},
    {IDC_SCAN_FIRST_ADDRESS, K::Edit, "1", 218, 8, 26, 12, kField, {}, "起始地址"},
    {IDC_STATIC, K::Label, "至", 248, 10, 10, 8, kCentered, {}, nullptr},
    {IDC_SCAN_LAST_ADDRESS, K::Edit, "247", 260, 8, 26, 12, kField, {}, "结束地址"},

    {IDC_STATIC, K::GroupBox, "波特率", 6, 26, 316, 26, 0, {}, nullptr},
    {IDC_SCAN_BAUD_300, K::CheckBox, "300", 12, 38, 38, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_BAUD_600, K::CheckBox, "600", 56, 38, 38, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_BAUD_1200, K::CheckBox, "1200", 100, 38, 38, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_BAUD_2400, K::CheckBox, "2400", 144, 38, 38, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_BAUD_4800, K::CheckBox, "4800", 188, 38, 38, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_BAUD_9600, K::CheckBox, "9600", 232, 38, 38, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_BAUD_19200, K::CheckBox, "19200", 276, 38, 42, 10, kTabStop, {}, nullptr},

    {IDC_STATIC, K::GroupBox, "校验", 6, 56, 130, 26, 0, {}, nullptr},
    {IDC_SCAN_PARITY_NONE, K::CheckBox, "NONE", 12, 68, 38, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_PARITY_ODD, K::CheckBox, "ODD", 54, 68, 36, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_PARITY_EVEN, K::CheckBox, "EVEN", 94, 68, 38, 10, kTabStop, {}, nullptr},
    {IDC_STATIC, K::GroupBox, "规约", 142, 56, 180, 26, 0, {}, nullptr},
    {IDC_SCAN_RTU, K::CheckBox, "Modbus RTU", 148, 68, 80, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_ASCII, K::CheckBox, "Modbus ASCII", 232, 68, 86, 10, kTabStop, {}, nullptr},

    {IDC_STATIC, K::Label, "等待(ms)", 8, 90, 34, 8, 0, {}, nullptr},
    {IDC_SCAN_WAIT, K::Edit, "100", 44, 88, 30, 12, kField, {}, "等待(ms)"},
    {IDC_SCAN_STOP_AT_FIRST, K::CheckBox, "找到即停", 84, 89, 60, 10, kTabStop, {}, nullptr},
    {IDC_SCAN_START, K::DefPushButton, "开始", 270, 87, 52, 14, kTabStop, {}, "开始扫描"},

    {IDC_SCAN_PROGRESS, K::Progress, "", 6, 106, 316, 10, 0, {}, "扫描进度"},
    {IDC_SCAN_REMAINING, K::Edit, "", 6, 119, 316, 12, kShown, {}, "扫描进度"},
    {IDC_SCAN_RESULTS, K::Table, "", 6, 135, 316, 92, kTabStop, kResultColumns, "扫描结果"},
    {IDC_SCAN_STATUS, K::Edit, "", 6, 233, 258, 12, kShown, {}, "提示信息"},
    {IDC_SCAN_ADOPT, K::PushButton, "采用", 270, 232, 52, 14, kTabStop, {}, "采用所选仪表"},
};

// The menu bar above the main dialog.
constexpr MenuItemTemplate kFileMenu[] = {
    {IDM_SAVE_PROFILE, "参数另存为…"}, {IDM_LOAD_PROFILE, "载入参数…"}, {0, ""},
    {IDM_TRACE_START, "记录通讯…"}, {IDM_TRACE_STOP, "停止记录通讯"},
    {IDM_LOG_START, "记录数据…"},   {IDM_LOG_STOP, "停止记录数据"},
    {IDM_OPEN_JOURNAL, "打开操作记录文件夹"}, {0, ""},
    {IDM_EXIT, "退出"},
};
constexpr MenuItemTemplate kToolsMenu[] = {{IDM_SCAN_BUS, "扫描总线…"}};
constexpr MenuItemTemplate kHelpMenu[] = {{IDM_HELP_ABOUT, "关于"}};
const MenuTemplate kMainMenus[] = {
    {"文件", kFileMenu},
    {"工具", kToolsMenu},
    {"帮助", kHelpMenu},
};

const DialogTemplate kMain = {IDD_MAIN,        "Quorvel",     503, 374, "MS Sans Serif", 8,
                              kMainControls, kMainMenus};
const DialogTemplate kScan = {IDD_SCAN, "扫描总线", 328, 252, "MS Sans Serif", 8, kScanControls};
const DialogTemplate kAbout = {IDD_ABOUTBOX,  "关于Quorvel", 217, 55, "MS Sans Serif", 8,
                               kAboutControls};
const DialogTemplate kQuestion = {IDD_QUESTION, "", 236, 62, "MS Sans Serif", 8, kQuestionControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMain; }
const DialogTemplate& AboutDialogTemplate() { return kAbout; }
const DialogTemplate& QuestionDialogTemplate() { return kQuestion; }
const DialogTemplate& ScanDialogTemplate() { return kScan; }

const char* LoadResourceString(int id) { return id == IDS_ABOUTBOX ? "关于Quorvel" : ""; }

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}
