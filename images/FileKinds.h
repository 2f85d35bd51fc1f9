#pragma once

#include "common/Prompts.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The four kinds of file the tool reads, and for each what a front end needs
// to pick one: the name a command line gives it, its extension, and the open
// dialog the window shows for it with the settings value that remembers the
// dialog's folder. One table, so that the window and the command line agree.
enum class FileKind { User, Factory, Boot, Symbols };

struct FileKindInfo {
    FileKind kind;
    const char* name;        // "user", "factory", "boot", "symbols"
    const char* extension;   // without the dot
    const char* dialogTitle;
    std::span<const FileFilter> filters;
    const char* defaultSuffix;  // added to a typed name without one
    const char* presetName;     // the file name the dialog proposes; may be empty
    const char* folderSetting;  // settings value of the dialog's folder
};

std::span<const FileKindInfo> FileKinds();
// The open dialog for a file of this kind, starting in `initialFolder`.
OpenFileQuestion OpenDialog(FileKind kind, const std::string& initialFolder);
const FileKindInfo& KindInfo(FileKind kind);
// The kind a command line names ("user" ...).
std::optional<FileKind> KindByName(std::string_view name);
// The kind of a file by its extension, in any case.
std::optional<FileKind> KindOfPath(const std::string& path);
