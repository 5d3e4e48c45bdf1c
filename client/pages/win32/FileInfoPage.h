// The file details pages: what the file system and the version resource
// say about one module's file, its warning level, and "MoreInfo" to search
// the web for its name. Four variants differ in where the module comes
// from and in their buttons.
#pragma once

#include "client/controls/win32/SkinPage.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"
#include "client/monitor/win32/Win32Classification.h"
#include "client/pages/FileDetails.h"

namespace ub {

// A file's size and times through CreateFileA, GetFileSize and GetFileTime.
class CWin32FileFacts : public IFileFacts {
public:
    bool Read(const char* path, uint32_t* sizeLow, FileTime* created, FileTime* written) override;
};

// Asks the shell to open "about:blank", then the search for the module's
// base name; nothing for no module. Results are ignored.
void SearchModuleOnWeb(HWND owner, const ModuleRecord* module);

class CFileInfoPage : public CSkinPage {
public:
    CFileInfoPage(int templateId, CTreeController& controller) : CSkinPage(templateId), m_controller(controller) {}

    // Fills the twelve fields for a module (all empty for none); 1 when the
    // version strings were read.
    int ShowFileDetails(const ModuleRecord* module);
    // The page keeps what it showed.
    int OnTablesChanged(int, uintptr_t) override { return 0; }

protected:
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCommand(int id, int code, HWND control) override;
    // The module the page shows, or null.
    virtual const ModuleRecord* Module() const = 0;
    // A variant's own buttons.
    virtual bool OnButton(int id) {
        (void)id;
        return false;
    }

    CTreeController& m_controller;

private:
    CWin32FileFacts m_files;
    CWin32VersionInfo m_versions;
};

// A module of a process (template 112).
class CModFilePage : public CFileInfoPage {
public:
    explicit CModFilePage(CTreeController& controller);
    int ShowContext(uintptr_t parameter) override;
    void ForgetRecords() override { m_module = nullptr; }

protected:
    const ModuleRecord* Module() const override { return m_module; }

private:
    const ModuleRecord* m_module = nullptr;
};

// A process's main image (template 130), with "Kill".
class CProcFilePage : public CFileInfoPage {
public:
    CProcFilePage(CTreeController& controller, const CClientTables& tables);
    int ShowContext(uintptr_t parameter) override;
    void ForgetRecords() override { m_process = nullptr; }

protected:
    const ModuleRecord* Module() const override;
    bool OnButton(int id) override;

private:
    const CClientTables& m_tables;
    const ProcessRecord* m_process = nullptr;
};

// An authentic entry's module (template 131), with "Clean".
class CAuthFilePage : public CFileInfoPage {
public:
    explicit CAuthFilePage(CTreeController& controller);
    int ShowContext(uintptr_t parameter) override;
    void ForgetRecords() override { m_entry = nullptr; }

protected:
    const ModuleRecord* Module() const override { return m_entry ? m_entry->module : nullptr; }
    bool OnButton(int id) override;

private:
    AuthenticEntry* m_entry = nullptr;
};

// A warned module (template 132), with "Authit" and "Quarit".
class CWarnFilePage : public CFileInfoPage {
public:
    explicit CWarnFilePage(CTreeController& controller);
    int ShowContext(uintptr_t parameter) override;
    void ForgetRecords() override { m_module = nullptr; }

protected:
    const ModuleRecord* Module() const override { return m_module; }
    bool OnButton(int id) override;

private:
    ModuleRecord* m_module = nullptr;
};

}  // namespace ub
