#include "client/shell/ServiceCommands.h"

namespace ub {

std::string ServiceCommandLine(const std::string& programFolder, const char* command) {
    std::string text = command;
    size_t space = text.find(' ');
    std::string tool = text.substr(0, space);
    std::string arguments = space == std::string::npos ? std::string() : text.substr(space);
    return "\"" + programFolder + tool + "\"" + arguments;
}

std::string AutostartValue(const std::string& clientPath) { return "\"" + clientPath + "\""; }

}  // namespace ub
