// The command lines the client runs: the service tool beside the client,
// and the autostart value. Paths are quoted, so that a program folder with
// a space cannot be read as a shorter program name (C:\Program.exe).
#pragma once

#include <string>

namespace ub {

constexpr char kServiceStart[] = "Sc.exe start Umbrastead";
constexpr char kServiceStop[] = "Sc.exe stop Umbrastead";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Umbrastead";

// The program folder (with its trailing backslash) and a command such as
// "Sc.exe start Umbrastead": the tool's full path in quotes, then the
// arguments.
std::string ServiceCommandLine(const std::string& programFolder, const char* command);

// The autostart value for the client's full path: quoted.
std::string AutostartValue(const std::string& clientPath);

}  // namespace ub
