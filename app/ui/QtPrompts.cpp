#include "app/ui/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

void ConfigureDialog(QFileDialog& dialog, const std::string& title, const std::vector<FileFilter>& filters,
                     const std::string& defaultSuffix, const std::string& initialFolder)
{
    dialog.setWindowTitle(Text(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);  // before the filters: it decides how they show
    dialog.setNameFilters(QtNameFilters(filters));
    dialog.setDefaultSuffix(Text(defaultSuffix));
    if (!initialFolder.empty())
        dialog.setDirectory(Text(initialFolder));
}

std::optional<std::string> Chosen(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace

QStringList QtNameFilters(const std::vector<FileFilter>& filters)
{
    QStringList names;
    for (const FileFilter& filter : filters) {
        const QString pattern = QString::fromLatin1(filter.pattern) == "*.*" ? "*" : QString::fromLatin1(filter.pattern);
        names << QString::fromLatin1(filter.description) + " (" + pattern + ")";
    }
    return names;
}

void ConfigureOpenDialog(QFileDialog& dialog, const OpenFileQuestion& question)
{
    ConfigureDialog(dialog, question.title, question.filters, question.defaultSuffix, question.initialFolder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(question.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!question.presetName.empty())
        dialog.selectFile(Text(question.presetName));
}

std::optional<std::string> QtPrompts::OpenFile(const OpenFileQuestion& question)
{
    QFileDialog dialog(parent);
    ConfigureOpenDialog(dialog, question);
    return Chosen(dialog);
}

std::optional<std::string> QtPrompts::SaveFile(const SaveFileQuestion& question)
{
    QFileDialog dialog(parent);
    ConfigureDialog(dialog, question.title, question.filters, question.defaultSuffix, question.initialFolder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, question.replaceWithoutAsking);
    return Chosen(dialog);
}

bool QtPrompts::Confirm(const std::string& caption, const std::string& text, const std::string& informative)
{
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, Text(caption), Text(text), QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(Text(informative));
    box.setDefaultButton(QMessageBox::No);  // a stray Enter never confirms
    return box.exec() == QMessageBox::Yes;
}

void QtPrompts::Inform(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Information, Text(caption), Text(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtPrompts::Error(const std::string& caption, const std::string& text)
{
    QApplication::beep();
    QMessageBox box(QMessageBox::Critical, Text(caption), Text(text), QMessageBox::Ok, parent);
    box.exec();
}
