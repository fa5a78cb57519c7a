// Placeholder until the register map is written.
#include "device/register_table.h"

const std::array<RegisterDescriptor, kRegisterCount> RegisterTable = {};
const std::array<const char*, 2> ProtocolNames = {"Modbus RTU", "Modbus ASCII"};
const std::array<const char*, 7> BaudNames = {"300", "600", "1200", "2400", "4800", "9600", "19200"};
const std::array<const char*, 3> ParityNames = {"NONE", "ODD", "EVEN"};
const std::array<const char*, 2> DataBitNames = {"8", "7"};
const std::array<const char*, 2> StopBitNames = {"2", "1"};
const std::array<const char*, 2> EnableNames = {"未使能", "巳使能"};
const std::array<const char*, 7> WiringNames = {"三相四线", "一相二线", "三相三线", "三相三线平衡", "一相三线", "三相四线平衡", "三相三线一压二流"};
