#include "files/LoadFlow.h"

#include "common/FolderPart.h"
#include "common/Prompts.h"
#include "link/Settings.h"

namespace {

// The caption of the box that shows a settings failure, as the application's own.
constexpr const char* kSettingsCaption = "Mirelle series program loader";

}  // namespace

LoadFlow::LoadFlow(FileKind kind, const LoadTargets& targets)
    : LoadFlow(kind, [kind, targets](const std::string& path) { return LoadFile(kind, path, targets); })
{
}

LoadFlow::LoadFlow(FileKind kind, Loader loader) : kind(kind), loader(std::move(loader)) {}

FileLoad LoadFlow::Load(Prompts& prompts)
{
    // A settings value that cannot be read or stored is shown, and the load
    // goes on: the dialog starts where it would without the value, and the
    // chosen file is loaded even when its folder could not be stored.
    const char* folderSetting = KindInfo(kind).folderSetting;
    try {
        ReadSetting(folderSetting, initialFolder);
    } catch (const SettingsError& error) {
        prompts.Error(kSettingsCaption, error.what());
    }
    const auto path = prompts.OpenFile(OpenDialog(kind, initialFolder));
    if (!path)
        return {};
    return LoadChosen(*path, prompts);
}

FileLoad LoadFlow::LoadChosen(const std::string& path, Prompts& prompts)
{
    initialFolder = FolderPart(path);
    try {
        WriteSetting(KindInfo(kind).folderSetting, initialFolder);
    } catch (const SettingsError& error) {
        prompts.Error(kSettingsCaption, error.what());
    }
    return Load(path);
}

FileLoad LoadFlow::Load(const std::string& path)
{
    const LoadResult result = loader(path);
    return {.chosen = true, .path = path, .statusText = result.statusText, .loaded = result.loaded};
}
