#include "records/data_log_format.h"

#include "records/csv_text.h"
#include "resources/resource.h"

namespace {

// In the window's order: 实时数据 row by row, the energy grid row by row (总, 峰, 平, 谷), then the
// harmonic content order by order.
constexpr DataColumn kColumns[] = {
    {IDC_UAN, "Uan (V)"},
    {IDC_UBN, "Ubn (V)"},
    {IDC_UCN, "Ucn (V)"},
    {IDC_FREQ, "f (Hz)"},
    {IDC_IAN, "Ian (A)"},
    {IDC_IBN, "Ibn (A)"},
    {IDC_ICN, "Icn (A)"},
    {IDC_I0N, "I0n (A)"},
    {IDC_UCA, "Uca (V)"},
    {IDC_UAB, "Uab (V)"},
    {IDC_UBC, "Ubc (V)"},
    {IDC_UAV, "Uav (V)"},
    {IDC_PAN, "Pan (W)"},
    {IDC_PBN, "Pbn (W)"},
    {IDC_PCN, "Pcn (W)"},
    {IDC_PSUM, "Psum (W)"},
    {IDC_QAN, "Qan (Var)"},
    {IDC_QBN, "Qbn (Var)"},
    {IDC_QCN, "Qcn (Var)"},
    {IDC_QSUM, "Qsum (Var)"},
    {IDC_PFAN, "PFan"},
    {IDC_PFBN, "PFbn"},
    {IDC_PFCN, "PFcn"},
    {IDC_PFAV, "PFav"},
    {IDC_SAN, "San (VA)"},
    {IDC_SBN, "Sbn (VA)"},
    {IDC_SCN, "Scn (VA)"},
    {IDC_SSUM, "Ssum (VA)"},
    {IDC_ARG_UA, "φUa (°)"},
    {IDC_ARG_UB, "φUb (°)"},
    {IDC_ARG_UC, "φUc (°)"},
    {IDC_VPM10, "Vpm10 (V)"},
    {IDC_ARG_IA, "φIa (°)"},
    {IDC_ARG_IB, "φIb (°)"},
    {IDC_ARG_IC, "φIc (°)"},
    {IDC_IAV, "Iav (A)"},
    {IDC_POS_KWH_TOTAL, "+KWh 总"},
    {IDC_NEG_KWH_TOTAL, "-KWh 总"},
    {IDC_POS_KVARH_TOTAL, "+KVarh 总"},
    {IDC_NEG_KVARH_TOTAL, "-KVarh 总"},
    {IDC_POS_KWH_PEAK, "+KWh 峰"},
    {IDC_NEG_KWH_PEAK, "-KWh 峰"},
    {IDC_POS_KVARH_PEAK, "+KVarh 峰"},
    {IDC_NEG_KVARH_PEAK, "-KVarh 峰"},
    {IDC_POS_KWH_FLAT, "+KWh 平"},
    {IDC_NEG_KWH_FLAT, "-KWh 平"},
    {IDC_POS_KVARH_FLAT, "+KVarh 平"},
    {IDC_NEG_KVARH_FLAT, "-KVarh 平"},
    {IDC_POS_KWH_VALLEY, "+KWh 谷"},
    {IDC_NEG_KWH_VALLEY, "-KWh 谷"},
    {IDC_POS_KVARH_VALLEY, "+KVarh 谷"},
    {IDC_NEG_KVARH_VALLEY, "-KVarh 谷"},
    {IDC_U1_H3, "3 U1 (%)"},
    {IDC_I1_H3, "3 I1 (%)"},
    {IDC_U1_H5, "5 U1 (%)"},
    {IDC_I1_H5, "5 I1 (%)"},
    {IDC_U1_H7, "7 U1 (%)"},
    {IDC_I1_H7, "7 I1 (%)"},
    {IDC_U1_H9, "9 U1 (%)"},
    {IDC_I1_H9, "9 I1 (%)"},
    {IDC_U1_H11, "11 U1 (%)"},
    {IDC_I1_H11, "11 I1 (%)"},
    {IDC_U1_H13, "13 U1 (%)"},
    {IDC_I1_H13, "13 I1 (%)"},
    {IDC_U1_H15, "15 U1 (%)"},
    {IDC_I1_H15, "15 I1 (%)"},
    {IDC_U1_H17, "17 U1 (%)"},
    {IDC_I1_H17, "17 I1 (%)"},
    {IDC_U1_H19, "19 U1 (%)"},
    {IDC_I1_H19, "19 I1 (%)"},
};

}  // namespace

std::span<const DataColumn> DataLogColumns() { return kColumns; }

std::string DataLogHeader() {
  CsvLine line;
  line.Text("时间");
  for (const DataColumn& column : kColumns) line.Text(column.heading);
  std::string header = line.Fields();
  return header;
}

std::string DataLogRow(const WallTime& when, std::span<const std::string* const> values) {
  CsvLine line;
  line.Text(IsoLocalText(when));
  for (const std::string* value : values) line.Number(*value);
  return std::move(line).Done();
}
