#include "FilePanel.h"

#include "Prompts.h"
#include "Settings.h"

FilePanel::FilePanel(FileKind kind, Loader loader) : kind(kind), loader(std::move(loader)) {}

FileLoad FilePanel::Load(Prompts& prompts)
{
    const char* folderSetting = KindInfo(kind).folderSetting;
    ReadSetting(folderSetting, initialFolder);
    const auto path = prompts.OpenFile(OpenDialog(kind, initialFolder));
    if (!path)
        return {};
    initialFolder = FolderPart(*path);
    WriteSetting(folderSetting, initialFolder);
    return LoadPath(*path);
}

FileLoad FilePanel::LoadPath(const std::string& path)
{
    const Loaded result = loader(path);
    return {.chosen = true, .path = path, .statusText = result.statusText, .loaded = result.loaded};
}

std::string FolderPart(const std::string& path)
{
#ifdef _WIN32
    const auto separator = path.find_last_of("\\/:");
#else
    const auto separator = path.find_last_of('/');
#endif
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}
