#include "device/register_text.h"

#include <array>

#include "device/register_table.h"
#include "device/text_format.h"

namespace {

template <size_t N>
std::string CodeName(const std::array<const char*, N>& names, uint16_t raw) {
  if (raw < N) return names[raw];
  return Printf("%u", static_cast<unsigned>(raw));
}

bool IsYkRegister(int index, int offset) {
  return index == kRegYk1First + offset || index == kRegYk2First + offset ||
         index == kRegYk3First + offset;
}

}  // namespace

std::string RegisterValueText(int index, uint16_t raw) {
  if (index < 0 || index >= kRegisterCount) return Printf("%u", static_cast<unsigned>(raw));
  switch (index) {
    case kRegWiring:
      return CodeName(WiringNames, raw);
    case kRegProtocol:
      return CodeName(ProtocolNames, raw);
    case kRegParity:
      return CodeName(ParityNames, raw);
    case kRegBaud:
      return CodeName(BaudNames, raw);
    case kRegDataBits:
      return CodeName(DataBitNames, raw);
    case kRegStopBits:
      return CodeName(StopBitNames, raw);
    default:
      break;
  }
  if (IsYkRegister(index, kYkEnable)) return CodeName(EnableNames, raw);
  if (index >= kRegFirstPeriod && index < kRegFirstPeriod + 12) {
    return Printf("%d:%02d", raw / 60, raw % 60);
  }
  const RegisterDescriptor& entry = RegisterTable[static_cast<size_t>(index)];
  // The Yk2 setpoint's field shows two decimals where the browser shows three.
  const int decimals = index == kRegYk2First + kYkSetpoint ? 2 : entry.decimals;
  return Printf(Printf("%%.%dlf", decimals).c_str(), raw * entry.scale);
}
