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

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace ub
