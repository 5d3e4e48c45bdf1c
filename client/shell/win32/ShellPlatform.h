// The shell's platform services: message boxes, the system's small icons,
// the autostart value and the service tool.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "client/monitor/TreeController.h"

namespace ub {

constexpr char kAppTitle[] = "Umbrastead";

// Message boxes owned by a window, captioned with the application title.
class CWin32Prompt : public IPrompt {
public:
    explicit CWin32Prompt(HWND owner = nullptr) : m_owner(owner) {}
    void SetOwner(HWND owner) { m_owner = owner; }
    void Message(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void FileError(const std::string& text) override;

private:
    HWND m_owner;
};

class CWin32SystemIcons : public ISystemIcons {
public:
    int SmallIconIndex(const char* path) override;
};

// The system's version, read once at the first call; null when it cannot
// be read.
const OSVERSIONINFOA* OsVersion();

// The system's small-icon image list.
HIMAGELIST SystemSmallImageList();

// Writes the Run value "Umbrastead" under HKEY_LOCAL_MACHINE with the
// client's path, quoted; failures are ignored.
void WriteAutostart(const std::string& clientPath);

// Starts "<program folder>Sc.exe <verb> Umbrastead" hidden and does not wait.
void RunServiceCommand(const std::string& programFolder, const char* command);

}  // namespace ub
