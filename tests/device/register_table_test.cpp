#include <gtest/gtest.h>

#include "device/register_table.h"

namespace {

TEST(RegisterTable, HoldsThreeBlocksAtEvenAddressesWithZeroValues) {
  for (int i = 0; i < kRegisterCount; ++i) {
    const RegisterDescriptor& row = RegisterTable[i];
    EXPECT_EQ(row.address, i < kParameterFirst ? 2 * i : 2 * i + 490) << i;
    EXPECT_EQ(row.value, 0) << i;
    ASSERT_NE(row.name, nullptr) << i;
    ASSERT_NE(row.unit, nullptr) << i;
  }
}

struct NamedRow {
  int index;
  const char* name;
  double scale;
  int decimals;
  const char* unit;
};

// The ends of every family and a sample of the irregular rows.
const NamedRow kNamedRows[] = {
    {0, "Uan", 0.1, 2, "V"},
    {3, "Yx", 1.0, 0, "Bit"},
    {5, "PFan", 0.0001, 4, " "},
    {19, "Vpm10", 0.001, 4, "V"},
    {27, "f", 0.00106813, 3, "Hz"},
    {32, "Rev0", 1.0, 0, " "},
    {33, "+Wh_0", 1.0, 0, "Wh"},
    {34, "+Wh_1", 1.0, 0, "Wh"},
    {37, "+Qh_0", 1.0, 0, "Varh"},
    {41, "+Wh_0h", 1.0, 0, "Wh"},
    {49, "+Wh_0m", 1.0, 0, "Wh"},
    {64, "-Qh_1l", 1.0, 0, "Varh"},
    {65, "Year", 1.0, 0, " "},
    {68, "SsPp", 1.0, 0, " "},
    {69, "SysStat", 1.0, 0, " "},
    {75, "ArgUc", 0.005729578, 2, "°"},
    {76, "UanW3", 0.01, 2, "% "},
    {79, "IanW3", 0.01, 2, "% "},
    {82, "I0nW3", 0.01, 2, "% "},
    {83, "UanW5", 0.01, 2, "% "},
    {132, "UanW19", 0.01, 2, "% "},
    {138, "I0nW19", 0.01, 2, "% "},
    {139, "从机地址", 1.0, 0, " "},
    {158, "HTM_BEG0", 1.0, 0, "分"},
    {169, "LTM_END1", 1.0, 0, "分"},
    {170, "Yk1定值", 0.001, 3, " "},
    {171, "Yk1延时", 0.00319844, 2, " "},
    {174, "Yk2定值", 0.1, 3, " "},
    {181, "Yk3使能", 1.0, 0, " "},
    {182, "电能指示", 1.0, 0, " "},
};

TEST(RegisterTable, NamesScalesDecimalsAndUnitsFollowTheMeterMap) {
  for (const NamedRow& expected : kNamedRows) {
    const RegisterDescriptor& row = RegisterTable[expected.index];
    EXPECT_STREQ(row.name, expected.name) << expected.index;
    EXPECT_EQ(row.scale, expected.scale) << expected.index;
    EXPECT_EQ(row.decimals, expected.decimals) << expected.index;
    EXPECT_STREQ(row.unit, expected.unit) << expected.index;
  }
}

}  // namespace
