// Placeholder until this unit is written.
#include "console/main_dialog.h"

void MainDialog::DecodeReply() {}
bool MainDialog::ReplyFitsRequest() const { return true; }
std::string MainDialog::EventName(const uint8_t*) const { return {}; }
std::string MainDialog::YxBitsText(uint8_t) const { return {}; }
std::string MainDialog::YkBitsText(uint8_t) const { return {}; }
uint16_t MainDialog::SwapBytes(uint16_t value) const { return value; }
