#include "client/pages/FileDetails.h"

#include "client/monitor/WarningLevel.h"

namespace ub {
namespace {

constexpr char kSearchService[] = "https://www.google.com/";
constexpr char kSearchPath[] = "search?hl=zh-CN&q=%s&lr=";

}  // namespace

std::string FileLevelText(uint32_t flags, bool trustedPath) {
    if (flags & MF_AUTHENTIC) return "Authed";
    if (flags & MF_QUARANTINED) return "Quar";
    if (flags == 0 || trustedPath) return "----";
    return WarningLevelText(WarningLevelOf(flags));
}

std::string FileSizeText(uint32_t sizeLow) { return DecimalText(int32_t(sizeLow)); }

int ReadFileDetails(const ModuleRecord* module, bool trustedPath, IFileFacts& files, IVersionInfo& versions,
                    const TimeTextFn& fileTime, FileDetails* out) {
    *out = FileDetails{};
    if (!module) return 0;
    uint32_t size = 0;
    FileTime created{0, 0}, written{0, 0};
    if (files.Read(module->fullPath, &size, &created, &written)) {
        out->size = FileSizeText(size);
        out->created = fileTime(created);
        out->modified = fileTime(written);
    }
    out->path = module->fullPath;
    out->level = FileLevelText(module->flags, trustedPath);

    uint16_t language = 0, codePage = 0;
    if (!versions.Load(module->fullPath) || !versions.Translation(&language, &codePage)) return 0;
    const std::string prefix = "\\StringFileInfo\\" + TranslationKey(language, codePage) + "\\";
    for (size_t i = 0; i < kVersionStringCount; ++i) {
        std::string value;
        if (versions.QueryString(prefix + kVersionStringNames[i], &value)) out->version[i] = value;
    }
    return 1;
}

std::string SearchAddress(const std::string& baseName) {
    std::string path = kSearchPath;
    path.replace(path.find("%s"), 2, baseName);
    return kSearchService + path;
}

}  // namespace ub
