#include "app/FileToOpen.h"

#include <QFile>
#include <QFileInfo>

FileToOpen ChooseFileToOpen(const std::string& path, bool developer)
{
    const QFileInfo info(QString::fromStdString(path));
    FileToOpen choice{.path = info.absoluteFilePath().toStdString()};
    const std::string named = "Cannot open \"" + choice.path + "\" : ";
    const auto kind = KindOfPath(choice.path);
    if (!kind) {
        choice.refusal = named + "not a .tbu, .tbf, .tb or .tfs file";
        return choice;
    }
    if (*kind != FileKind::User && *kind != FileKind::Backup && !developer) {
        choice.refusal = named + "a ." + KindInfo(*kind).extension + " file opens with mirelle-loader --developer";
        return choice;
    }
    if (info.isDir()) {
        choice.refusal = named + "it is a folder";
        return choice;
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        choice.refusal = named + file.errorString().toStdString();
        return choice;
    }
    choice.kind = kind;
    return choice;
}
