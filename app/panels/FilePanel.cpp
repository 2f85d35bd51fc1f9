#include "app/panels/FilePanel.h"

#include "common/Prompts.h"
#include "link/Settings.h"

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
    return Load(*path);
}

FileLoad FilePanel::Load(const std::string& path)
{
    const Loaded result = loader(path);
    return {.chosen = true, .path = path, .statusText = result.statusText, .loaded = result.loaded};
}
