// fixture_shell_recorder.exe made the program that opens "https" and
// "about" addresses while the object lives: every address the shell is
// asked to open becomes a line of a file beside it. The previous handlers
// are put back when the object goes.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/wine/FixtureProcess.h"
#include "tests/wine/ServiceHarness.h"

namespace ub::wine {

class CStandInBrowser {
public:
    CStandInBrowser() {
        ::DeleteFileA(CallsPath().c_str());
        const std::string command = "\"" + BinFolder() + "fixture_shell_recorder.exe\" \"%1\"";
        m_ready = true;
        for (Saved& s : m_saved) {
            char value[1024] = "";
            LONG size = sizeof value;
            s.existed = ::RegQueryValueA(HKEY_CLASSES_ROOT, s.key, value, &size) == ERROR_SUCCESS;
            s.value = value;
            m_ready = m_ready && ::RegSetValueA(HKEY_CLASSES_ROOT, s.key, REG_SZ, command.c_str(),
                                                DWORD(command.size())) == ERROR_SUCCESS;
        }
        HKEY about = nullptr;
        if (::RegOpenKeyA(HKEY_CLASSES_ROOT, "about", &about) == ERROR_SUCCESS) {
            ::RegSetValueExA(about, "URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
            ::RegCloseKey(about);
        }
    }
    ~CStandInBrowser() {
        for (const Saved& s : m_saved) {
            if (s.existed) {
                ::RegSetValueA(HKEY_CLASSES_ROOT, s.key, REG_SZ, s.value.c_str(), DWORD(s.value.size()));
                continue;
            }
            // Leaf first: the keys made here.
            for (std::string key = s.key;;) {
                ::RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
                size_t cut = key.rfind('\\');
                if (cut == std::string::npos) break;
                key.resize(cut);
            }
        }
        ::DeleteFileA(CallsPath().c_str());
    }
    CStandInBrowser(const CStandInBrowser&) = delete;
    CStandInBrowser& operator=(const CStandInBrowser&) = delete;

    bool Ready() const { return m_ready; }
    // Waits until `count` addresses were opened; returns them, a line each.
    std::string Calls(size_t count) const {
        std::string calls;
        PollUntil([&] {
            calls = Read();
            return size_t(std::count(calls.begin(), calls.end(), '\n')) >= count;
        });
        return calls;
    }

private:
    struct Saved {
        const char* key;
        bool existed;
        std::string value;
    };
    static std::string CallsPath() { return BinFolder() + "shell_calls.txt"; }
    static std::string Read() {
        std::string bytes;
        if (FILE* f = std::fopen(CallsPath().c_str(), "rb")) {
            char chunk[4096];
            size_t n;
            while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
            std::fclose(f);
        }
        return bytes;
    }

    Saved m_saved[2] = {{"https\\shell\\open\\command", false, ""}, {"about\\shell\\open\\command", false, ""}};
    bool m_ready = false;
};

}  // namespace ub::wine
