#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// The command-line verbs: they run before any window exists (on Windows from quorvel-cli.exe, a
// console program, since cmd.exe does not wait for a window program). nullopt when the arguments
// name no verb: the window program then starts. Otherwise the exit status: 0 done (a meter
// found), 1 nothing found, 2 a bad option or a port that cannot be had, with the usage or the
// reason on standard error.
std::optional<int> RunVerb(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// The verbs and their options.
const char* VerbUsage();

// `--scan`: the bus scan of the port given (the console's last port by default), a progress line
// on `err` when it is a terminal, one line per device found on `out` (or JSON at the end).
int RunScanVerb(const std::vector<std::string>& options, std::FILE* out, std::FILE* err);
// `--ports`: what every COMn stands for and the adapters in the port list.
int RunPortsVerb(std::FILE* out);
// `--save-profile FILE`: the parameter block of the meter addressed into a profile file.
int RunSaveProfileVerb(const std::vector<std::string>& options, std::FILE* out, std::FILE* err);
// `--apply-profile FILE`: the differences a profile makes to the meter addressed, written with
// --yes and read back. 0 written and verified (or nothing to change), 1 the meter holds other
// values after the write, 2 a refused file, a bad option or a line error, 3 differences shown
// and nothing written.
int RunApplyProfileVerb(const std::vector<std::string>& options, std::FILE* out, std::FILE* err);

// A port as the options name it: "COM3", "com3" or "3"; an adapter's path; or an adapter's name
// as the port list shows it. nullopt when it names none.
std::optional<std::string> PortOfOption(const std::string& text);
// The text with ASCII letters in upper case: option values are taken in either case.
std::string UpperAscii(std::string text);
