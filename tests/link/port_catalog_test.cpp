// The names the port list gives adapters, from the links the system makes under
// /dev/serial/by-id: short enough for the list, unique with the kernel's name, and never a
// control character.
#include <gtest/gtest.h>

#include "link/port_catalog.h"

namespace {

TEST(AdapterName, IsTheModelAndSerialNumberThenTheKernelsName) {
  const struct {
    const char* link;
    const char* kernel;
    const char* name;
  } cases[] = {
      {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0", "FT232R A50285BI (ttyUSB0)"},
      {"usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0", "ttyUSB1",
       "CP2102 0001 (ttyUSB1)"},
      {"usb-FTDI_USB-RS485_Cable_FT1234AB-if00-port0", "ttyUSB2", "USB-RS485 FT1234AB (ttyUSB2)"},
      {"usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0", "ttyUSB3",
       "Prolific (ttyUSB3)"},  // no model number, no serial: the maker
      {"usb-1a86_USB2.0-Serial-if00-port0", "ttyUSB4", "USB2.0-Serial (ttyUSB4)"},
      {"usb-Arduino__www.arduino.cc__0043_75633313238351-if00", "ttyACM0",
       "Arduino 75633313238351 (ttyACM0)"},
      {"meter", "pts/3", "meter (pts/3)"},
      {"usb-\x1b[2J_evil\x07-if00", "ttyUSB5", "?[2J (ttyUSB5)"},
      {"", "ttyUSB6", " (ttyUSB6)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AdapterName(c.link, c.kernel), c.name) << c.link;
  }
  // A name the maker made long is cut, never inside a character.
  const std::string longName = "usb-" + std::string(100, 'x') + "表_" + std::string(100, 'y');
  const std::string shown = AdapterName(longName, "ttyUSB7");
  EXPECT_LE(shown.size(), 60u + 10u);
  EXPECT_EQ(shown.substr(shown.size() - 10), " (ttyUSB7)");
}

}  // namespace
