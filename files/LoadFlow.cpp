#include "files/LoadFlow.h"

#include "common/FolderPart.h"
#include "common/Prompts.h"
#include "link/Settings.h"

LoadFlow::LoadFlow(FileKind kind, const LoadTargets& targets)
    : LoadFlow(kind, [kind, targets](const std::string& path) { return LoadFile(kind, path, targets); })
{
}

LoadFlow::LoadFlow(FileKind kind, Loader loader) : kind(kind), loader(std::move(loader)) {}

FileLoad LoadFlow::Load(Prompts& prompts)
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

FileLoad LoadFlow::Load(const std::string& path)
{
    const LoadResult result = loader(path);
    return {.chosen = true, .path = path, .statusText = result.statusText, .loaded = result.loaded};
}
