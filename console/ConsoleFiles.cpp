#include "console/ConsoleFiles.h"

#include "common/FolderPart.h"
#include "common/Prompts.h"

#include <QSaveFile>

namespace {

constexpr FileFilter kLogFilter{"Log file (*.log)", "*.log"};

SaveFileQuestion LogDialog(const std::string& initialFolder)
{
    return {.title = "Save log file",
            .filters = {kLogFilter},
            .defaultSuffix = "log",
            .initialFolder = initialFolder,
            .replaceWithoutAsking = true};
}

// Writes the whole text; a short write is followed by the rest, so that a
// failure is the one the system reports (a full disk), not a count.
bool WriteAll(QSaveFile& file, std::string_view text)
{
    while (!text.empty()) {
        const qint64 written = file.write(text.data(), qint64(text.size()));
        if (written <= 0)
            return false;
        text.remove_prefix(std::size_t(written));
    }
    return true;
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
    // Unbuffered, so that no failure waits for commit(), which would not see it.
    QSaveFile file(QString::fromStdString(*path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && WriteAll(file, text) && file.commit())
        return {};
    return "Log file not saved : " + file.errorString().toLatin1().toStdString();
}
