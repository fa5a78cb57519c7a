// The headless window's check boxes and tables, which the dialogs' tests rely on to behave as the
// real windows do.
#include "window/headless_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Recorder : public DialogHandler {
 public:
  void OnNotify(int id, Notification code) override {
    if (code == Notification::Clicked) clicks.push_back(id);
  }
  void OnTimerMessage(int) override {}
  void OnPostedMessage(uint32_t, int32_t, int32_t) override {}
  void OnOK() override {}
  void OnSysCommand(uint32_t) override {}
  std::vector<int> clicks;
};

class HeadlessScanWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { window.SetHandler(&dialog); }
  HeadlessWindow window{ScanDialogTemplate()};
  Recorder dialog;
};

TEST_F(HeadlessScanWindowTest, ACheckBoxStartsClearAndAClickTogglesItAndMovesItsStamp) {
  EXPECT_EQ(window.GetText(IDC_SCAN_RTU), "");
  const uint64_t stamp = window.TextStamp(IDC_SCAN_RTU);
  window.Click(IDC_SCAN_RTU);
  EXPECT_EQ(window.GetText(IDC_SCAN_RTU), "1");
  EXPECT_NE(window.TextStamp(IDC_SCAN_RTU), stamp);
  window.Click(IDC_SCAN_RTU);
  EXPECT_EQ(window.GetText(IDC_SCAN_RTU), "");
  EXPECT_EQ(dialog.clicks, (std::vector<int>{IDC_SCAN_RTU, IDC_SCAN_RTU}));
}

// A selection names a row and leaves the rows alone; the headings stay the table's entries.
TEST_F(HeadlessScanWindowTest, ATablesSelectionIsARowThatStaysWhileTheRowIsThere) {
  const std::string rows = "1\t9600\n17\t19200\n30\t4800";
  window.SetText(IDC_SCAN_RESULTS, rows);
  window.SelectListEntry(IDC_SCAN_RESULTS, 3);  // no such row
  EXPECT_EQ(window.ListSelection(IDC_SCAN_RESULTS), -1);
  window.Choose(IDC_SCAN_RESULTS, 2);
  EXPECT_EQ(window.ListSelection(IDC_SCAN_RESULTS), 2);
  EXPECT_EQ(window.GetText(IDC_SCAN_RESULTS), rows);
  EXPECT_EQ(window.FocusedControl(), IDC_SCAN_RESULTS);
  EXPECT_EQ(dialog.clicks, std::vector<int>{IDC_SCAN_RESULTS});
  EXPECT_EQ(window.ListEntries(IDC_SCAN_RESULTS).front(), "地址");

  window.SetText(IDC_SCAN_RESULTS, rows + "\n31\t4800");
  EXPECT_EQ(window.ListSelection(IDC_SCAN_RESULTS), 2);
  window.SetText(IDC_SCAN_RESULTS, "1\t9600");
  EXPECT_EQ(window.ListSelection(IDC_SCAN_RESULTS), -1);
}

}  // namespace
