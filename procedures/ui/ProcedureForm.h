#pragma once

#include <QDialog>

#include "procedures/TimedRun.h"

#include <memory>

#include <string>

namespace Ui {
class ProcedureForm;
}
class Procedure;
struct ProcedureProgress;
class QProgressBar;

// The modal dialog that runs a download: its timer ticks the procedure, its
// label and bar show how far it has got, its Abort button (and Esc) aborts
// it at the next tick, and it closes itself when the procedure ends, OK after
// a complete download and Abort after a failure or an abort. The close box
// stops the timer and leaves the result text at "Not done" (result Cancel).
class TProcedureForm : public QDialog {
    Q_OBJECT

public:
    enum ModalResult { Ok = 1, Cancel = 2, Abort = 3 };

    TProcedureForm(const QString& caption, QWidget* parent = nullptr);
    ~TProcedureForm() override;

    // Shows the dialog modally until `procedure` ends or the close box is
    // used, the procedure run by the window's timed run. `resultText` (a
    // process-wide result text, or none) reads "Not done" from the show until
    // the procedure ends, then the procedure's result text. Returns the
    // modal result.
    // `caption`, when given, stands in the title bar for this run (a backup,
    // a restore); the dialog's own comes back after it.
    int Run(Procedure& procedure, std::string* resultText, const QString& caption = {});

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void AbortButtonClick();
    void FormClose();
    void ShowProcedure();

    std::unique_ptr<Ui::ProcedureForm> ui;
    TimedRun run{this};
};

// "Download user program": the user program download.
class TProgramUserForm final : public TProcedureForm {
    Q_OBJECT

public:
    explicit TProgramUserForm(QWidget* parent = nullptr);
};

// "Download factory program": the factory image download.
class TProgramFactoryForm final : public TProcedureForm {
    Q_OBJECT

public:
    explicit TProgramFactoryForm(QWidget* parent = nullptr);
};

// A progress bar showing a procedure's bar. A bar whose range is empty shows
// empty, never Qt's busy animation; ranges beyond an int are scaled.
void ShowProgress(QProgressBar* bar, const ProcedureProgress& progress);
