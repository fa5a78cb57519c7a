#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What `quorvel --ports` finds: COM1 to COM9 with the device each stands for and its state, then
// the serial devices present that no COMn stands for. Nothing is opened: the checks look at the
// file system, /proc and /sys only, so no line's settings or modem lines change (opening a
// terminal raises DTR, closing it drops it) and no port is held, even for a moment.
enum class PortState : uint8_t { Ready, Missing, NoPermission, Busy, NotSerial };

struct SurveyedPort {
  uint32_t port = 0;    // n of COMn
  std::string device;   // what COMn stands for, as named (a link's target as written)
  bool linked = false;  // named by a link in the ports folder, not the /dev/ttyS<n-1> default
  PortState state = PortState::Missing;
  std::string holder;  // for a busy device: who holds it
};

struct UnnamedDevice {
  std::string path;    // the name to link to: a /dev/serial/by-id name when there is one
  std::string kernel;  // the kernel's name for it (ttyUSB0)
};

// The state of the device at `path`, checked without opening it. `holder` receives who holds a
// busy device.
PortState SurveyDevice(const std::string& path, std::string* holder = nullptr);
std::vector<SurveyedPort> SurveyPorts();
// Serial devices backed by hardware (by-id names first) that none of `ports` stands for.
std::vector<UnnamedDevice> UnnamedSerialDevices(const std::vector<SurveyedPort>& ports);
const char* PortStateName(PortState state);
// Prints the survey in English; returns the exit code of `quorvel --ports`.
int PrintPortSurvey(std::FILE* out);
