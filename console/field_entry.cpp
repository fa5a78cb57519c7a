// What the operator types reaches the meter only as typed and seen: numbers that do not fit
// their destination are refused with the reason, and a parameter block read from one meter is
// never written to another.
#include <cstdint>
#include <optional>
#include <string>

#include "console/main_dialog.h"
#include "device/text_format.h"

namespace {

constexpr const char* kOutOfRange = "输入值超出范围（%s 至 %s）";
constexpr const char* kNotANumber = "请输入有效的数值。";
constexpr int64_t kLargestRaw = 0xFFFF;

}  // namespace

void MainDialog::RefuseEntry(const std::string& reason) {
  m_status = reason;
  m_entryRefused = true;
}

bool MainDialog::TakeEntry(Entry outcome, const std::string& low, const std::string& high) {
  switch (outcome) {
    case Entry::Accepted:
      return true;
    case Entry::NoNumber:
      return false;
    case Entry::Malformed:
      RefuseEntry(kNotANumber);
      return false;
    case Entry::OutOfRange:
      RefuseEntry(Printf(kOutOfRange, low.c_str(), high.c_str()));
      return false;
  }
  return false;
}

std::optional<uint16_t> MainDialog::TakeScaledEntry(const std::string& text, double scale,
                                                    const char* format) {
  const Entered<int64_t> steps = EnterScaled(text, scale, 0, kLargestRaw);
  if (!TakeEntry(steps.outcome, Printf(format, 0.0),
                 Printf(format, static_cast<double>(kLargestRaw) * scale))) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(steps.value);
}

void MainDialog::InvalidateParameters() {
  m_paramsValid = 0;
  m_readValues.fill(std::nullopt);
}

bool MainDialog::EditorsAllowSend() {
  if (RunPendingEditors()) return true;
  RefreshDisplay();
  UpdateControlStates();
  return false;
}

bool MainDialog::ReplyFromMeterInUse() const {
  return m_link.m_requestTarget == m_link.Target();
}
