#include "images/FileKinds.h"

#include "common/SettingNames.h"
#include "images/BackupFile.h"
#include "images/BootImage.h"
#include "images/FileReader.h"
#include "images/FactoryImage.h"
#include "images/SymbolTable.h"
#include "images/UserImage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

namespace {

constexpr FileFilter kUserFilters[] = {{"Tessel user program (*.tbu)", "*.tbu"}, {"Any files (*.*)", "*.*"}};
constexpr FileFilter kFactoryFilters[] = {{"Tessel factory image (*.tbf)", "*.tbf"}, {"Any files (*.*)", "*.*"}};
constexpr FileFilter kBootFilters[] = {{"Tessel program (*.tb)", "*.tb"}, {"Any files (*.*)", "*.*"}};
// The symbol filter's lower-case "tessel" and missing blank are kept on purpose, as the dialog always showed them.
constexpr FileFilter kSymbolFilters[] = {{"tessel symbol(*.tfs)", "*.tfs"}};
constexpr FileFilter kBackupFilters[] = {{"Mirelle backup (*.tbk)", "*.tbk"}, {"Any files (*.*)", "*.*"}};

LoadResult LoadUser(const std::string& path, const LoadTargets& targets)
{
    LoadUserProgram(path, targets.userImage);
    return {.statusText = targets.userImage.statusText, .loaded = targets.userImage.loaded};
}

LoadResult LoadFactory(const std::string& path, const LoadTargets& targets)
{
    LoadFactoryFile(path, targets.factoryImage);
    return {.statusText = targets.factoryImage.statusText, .loaded = targets.factoryImage.loaded};
}

LoadResult LoadBoot(const std::string& path, const LoadTargets& targets)
{
    LoadBootFile(path, targets.bootImage);
    return {.statusText = targets.bootImage.statusText, .loaded = targets.bootImage.loaded};
}

LoadResult LoadSymbols(const std::string& path, const LoadTargets& targets)
{
    const bool loaded = targets.symbols.LoadSymbolFile(path);
    return {.statusText = loaded ? "File loaded" : "File not loaded",
            .loaded = loaded,
            .detail = std::to_string(targets.symbols.Count()) + " records"};
}

// A backup's summary: whose user area it holds, and since when.
LoadResult LoadBackup(const std::string& path, const LoadTargets&)
{
    const BackupRead read = ReadBackupFile(path);
    if (!read.backup)
        return {.statusText = read.unreadable ? kUnableToOpen : read.error, .loaded = false};
    return {.statusText = "File is ok : " + BackupSummary(*read.backup), .loaded = true};
}

constexpr std::array kKinds{
    FileKindInfo{FileKind::User, "user", "tbu", "Open Tessel user program file", kUserFilters, "tbu", "",
                 SettingName::kUserDir, LoadUser},
    FileKindInfo{FileKind::Factory, "factory", "tbf", "Open factory image file", kFactoryFilters, "tbf", "",
                 SettingName::kFactoryDir, LoadFactory},
    // The boot dialog's lower-case "tessel" is kept on purpose, as it always read.
    FileKindInfo{FileKind::Boot, "boot", "tb", "Open tessel binary file", kBootFilters, "tb", "",
                 SettingName::kBootDir, LoadBoot},
    // Kept on purpose: the symbol dialog's title reads "file symbol", and its
    // default suffix is "var", not its filter's "tfs".
    FileKindInfo{FileKind::Symbols, "symbols", "tfs", "Open Tessel file symbol", kSymbolFilters, "var",
                 "mainprog.tfs", SettingName::kProg2Dir, LoadSymbols},
    FileKindInfo{FileKind::Backup, "backup", "tbk", "Open backup file", kBackupFilters, "tbk", "",
                 SettingName::kBackupDir, LoadBackup},
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

}  // namespace

std::span<const FileKindInfo> FileKinds()
{
    return kKinds;
}

const FileKindInfo& KindInfo(FileKind kind)
{
    return *std::find_if(kKinds.begin(), kKinds.end(), [&](const FileKindInfo& info) { return info.kind == kind; });
}

LoadResult LoadFile(FileKind kind, const std::string& path, const LoadTargets& targets)
{
    return KindInfo(kind).load(path, targets);
}

SaveFileQuestion SaveDialog(FileKind kind, const std::string& title, const std::string& initialFolder)
{
    const FileKindInfo& info = KindInfo(kind);
    return {.title = title,
            .filters = {info.filters.begin(), info.filters.end()},
            .defaultSuffix = info.defaultSuffix,
            .initialFolder = initialFolder,
            .replaceWithoutAsking = false};
}

OpenFileQuestion OpenDialog(FileKind kind, const std::string& initialFolder)
{
    const FileKindInfo& info = KindInfo(kind);
    OpenFileQuestion question;
    question.title = info.dialogTitle;
    question.filters.assign(info.filters.begin(), info.filters.end());
    question.defaultSuffix = info.defaultSuffix;
    question.presetName = info.presetName;
    question.initialFolder = initialFolder;
    question.fileMustExist = true;
    return question;
}

std::optional<FileKind> KindByName(std::string_view name)
{
    for (const auto& info : kKinds)
        if (name == info.name)
            return info.kind;
    return std::nullopt;
}

std::optional<FileKind> KindOfPath(const std::string& path)
{
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    for (const auto& info : kKinds)
        if (extension == std::string(".") + info.extension)
            return info.kind;
    return std::nullopt;
}
