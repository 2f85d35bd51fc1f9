#include "console/ConsoleFiles.h"

#include "common/FolderPart.h"
#include "common/Prompts.h"
#include "files/AtomicFile.h"


namespace {

constexpr FileFilter kLogFilter{"Log file (*.log)", "*.log"};
constexpr const char* kSaveErrorCaption = "Error";

SaveFileQuestion LogDialog(const std::string& initialFolder)
{
    return {.title = "Save log file",
            .filters = {kLogFilter},
            .defaultSuffix = "log",
            .initialFolder = initialFolder,
            .replaceWithoutAsking = true};
}

}  // namespace

ConsoleFiles::ConsoleFiles(Prompts& prompts, const LoadTargets& targets)
    : prompts(prompts), symbolLoad(FileKind::Symbols, targets)
{
}

std::string ConsoleFiles::LoadSymbols()
{
    const FileLoad load = symbolLoad.Load(prompts);
    return load.chosen ? load.statusText : std::string();
}

std::string ConsoleFiles::LoadSymbols(const std::string& path)
{
    return symbolLoad.LoadChosen(path, prompts).statusText;
}

std::string ConsoleFiles::SaveLog(const std::string& text)
{
    const auto path = prompts.SaveFile(LogDialog(logFolder));
    if (!path)
        return {};
    logFolder = FolderPart(*path);
    // Written beside the old file, which it replaces only once it is whole.
    AtomicFile file(QString::fromStdString(*path));
    auto failed = file.Open();
    if (!failed)
        failed = file.Commit({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    if (failed)
        prompts.Error(kSaveErrorCaption, "Log file not saved : " + *path + ": " + *failed);
    return {};
}
