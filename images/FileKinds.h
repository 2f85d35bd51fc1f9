#pragma once

#include "common/Prompts.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

struct BootImage;
struct FactoryImage;
class SymbolTable;
struct UserImage;

// The kinds of file the tool reads, and for each what a front end needs to
// pick and load one: the name a command line gives it, its extension, the
// open dialog the window shows for it with the settings value that remembers
// the dialog's folder, and its loader. One table, so that the window, the
// console and the command line agree, and a kind is added in one place. A
// backup's loader only tells whether it can be used: the restore reads it
// again when it runs.
enum class FileKind { User, Factory, Boot, Symbols, Backup };

// Where the loads of a context land: the user, factory and boot images and
// the symbol table. Each kind's loader fills its own of the four.
struct LoadTargets {
    UserImage& userImage;
    FactoryImage& factoryImage;
    BootImage& bootImage;
    SymbolTable& symbols;
};

// What a loader leaves.
struct LoadResult {
    std::string statusText;  // the loader's summary or error
    bool loaded = false;     // the file passed every check
    std::string detail{};    // more for a command line's verdict: the symbol file's "N records"; else empty
};

using KindLoader = LoadResult (*)(const std::string& path, const LoadTargets& targets);

struct FileKindInfo {
    FileKind kind;
    const char* name;        // "user", "factory", "boot", "symbols", "backup"
    const char* extension;   // without the dot
    const char* dialogTitle;
    std::span<const FileFilter> filters;
    const char* defaultSuffix;  // added to a typed name without one
    const char* presetName;     // the file name the dialog proposes; may be empty
    const char* folderSetting;  // settings value of the dialog's folder (SettingName)
    KindLoader load;
};

std::span<const FileKindInfo> FileKinds();
// The open dialog for a file of this kind, starting in `initialFolder`.
OpenFileQuestion OpenDialog(FileKind kind, const std::string& initialFolder);
// The save dialog for a file of this kind (a backup), starting in `initialFolder`.
SaveFileQuestion SaveDialog(FileKind kind, const std::string& title, const std::string& initialFolder);
const FileKindInfo& KindInfo(FileKind kind);
// The kind's loader: the file at `path` into its target among `targets`.
LoadResult LoadFile(FileKind kind, const std::string& path, const LoadTargets& targets);
// The kind a command line names ("user" ...).
std::optional<FileKind> KindByName(std::string_view name);
// The kind of a file by its extension, in any case.
std::optional<FileKind> KindOfPath(const std::string& path);
