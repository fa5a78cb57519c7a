// The adapters the port list offers on Windows: every COM port the system has beyond COM1 to COM9
// (USB adapters are numbered COM10 and up on most field laptops), named as the Device Manager names
// them ("USB Serial Port (COM14)") and opened as \\.\COMn.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Needs windows.h first.
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cwchar>
#include <map>

#include "link/port_catalog.h"

namespace {

constexpr uint32_t kNumberedPorts = 9;  // COM1 to COM9 are the list's own entries

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(size, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// The number of "COMn" (n from 1), or 0 for any other name.
uint32_t ComNumber(const std::wstring& name) {
  if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, L"COM") != 0) return 0;
  uint32_t number = 0;
  for (size_t k = 3; k < name.size(); ++k) {
    if (name[k] < L'0' || name[k] > L'9') return 0;
    number = number * 10 + static_cast<uint32_t>(name[k] - L'0');
  }
  return number;
}

// The COM ports the serial drivers have announced: the values of HARDWARE\DEVICEMAP\SERIALCOMM.
std::vector<uint32_t> SystemComPorts() {
  std::vector<uint32_t> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    wchar_t data[64];
    DWORD nameChars = 256;
    DWORD dataBytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegEnumValueW(key, index, name, &nameChars, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataBytes);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataBytes / sizeof(wchar_t)] = L'\0';
    const uint32_t number = ComNumber(data);
    if (number != 0) ports.push_back(number);
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end());
  ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
  return ports;
}

// The Device Manager's names of the ports present, by COM number. A system that keeps none (Wine)
// gives none, and the entries fall back to "COMn".
std::map<uint32_t, std::string> FriendlyNames() {
  std::map<uint32_t, std::string> names;
  HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device) != FALSE; ++index) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t port[64] = {};
    DWORD bytes = sizeof port - sizeof(wchar_t);
    DWORD type = 0;
    const bool named = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                        reinterpret_cast<BYTE*>(port), &bytes) == ERROR_SUCCESS &&
                       type == REG_SZ;
    RegCloseKey(key);
    if (!named) continue;
    port[bytes / sizeof(wchar_t)] = L'\0';
    wchar_t friendly[256] = {};
    if (SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                          reinterpret_cast<BYTE*>(friendly),
                                          sizeof friendly - sizeof(wchar_t), nullptr) == FALSE) {
      continue;
    }
    const uint32_t number = ComNumber(port);
    if (number != 0 && friendly[0] != L'\0') names[number] = Utf8(friendly);
  }
  SetupDiDestroyDeviceInfoList(devices);
  return names;
}

}  // namespace

std::vector<PortEntry> ListAdapters() {
  const std::map<uint32_t, std::string> friendly = FriendlyNames();
  std::vector<PortEntry> found;
  for (uint32_t number : SystemComPorts()) {
    if (number <= kNumberedPorts) continue;
    if (found.size() == kMaxAdapters) break;
    const std::string com = "COM" + std::to_string(number);
    auto named = friendly.find(number);
    found.push_back({named != friendly.end() ? named->second : com, "\\\\.\\" + com});
  }
  return found;
}

std::string AbsentAdapterName(const std::string& path) {
  constexpr std::string_view kDeviceSpace = "\\\\.\\";
  return path.rfind(kDeviceSpace, 0) == 0 ? path.substr(kDeviceSpace.size()) : path;
}
