#pragma once

#include "common/Prompts.h"

#include <QStringList>

class QFileDialog;
class QWidget;

// The prompts of the window: Qt's own widget-based file dialogs (which tests
// and screen readers can drive, and which need no desktop portal), and
// message boxes after the system's beep.
class QtPrompts final : public Prompts {
public:
    // Dialogs and boxes are centred on this window (the main window).
    void SetParent(QWidget* parent) { this->parent = parent; }

    std::optional<std::string> OpenFile(const OpenFileQuestion& question) override;
    std::optional<std::string> SaveFile(const SaveFileQuestion& question) override;
    using Prompts::Confirm;
    bool Confirm(const std::string& caption, const std::string& text, const std::string& informative) override;
    void Error(const std::string& caption, const std::string& text) override;
    void Inform(const std::string& caption, const std::string& text) override;

private:
    QWidget* parent = nullptr;
};

// Qt's name filters for a dialog's filter entries. Each description is shown
// as the behaviour writes it, and "*.*" matches every file, also those
// without a dot: "Any files (*.*)" and "*.*" give "Any files (*.*) (*)", of
// which a dialog with HideNameFilterDetails shows "Any files (*.*)".
QStringList QtNameFilters(const std::vector<FileFilter>& filters);

// Sets up a widget-based dialog for an open question.
void ConfigureOpenDialog(QFileDialog& dialog, const OpenFileQuestion& question);
