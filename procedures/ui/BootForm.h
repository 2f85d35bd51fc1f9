#pragma once

#include "procedures/TimedRun.h"

#include <QDialog>

#include <memory>

namespace Ui {
class BootForm;
}
class Procedure;

// "Booting ...": the modal dialog that streams a boot program to the
// machine's resident loader. Its timer sends the next words each tick; its
// button reads "Abort" while sending (it, Esc and the close box end the
// stream at once) and "Done" at the end, when the dialog closes with OK. A
// stream the port did not take leaves the dialog open, saying so above the
// bar, with the button reading "Close"; closing it then gives Abort.
class TBootForm final : public QDialog {
    Q_OBJECT

public:
    enum ModalResult { Ok = 1, Cancel = 2, Abort = 3 };

    explicit TBootForm(QWidget* parent = nullptr);
    ~TBootForm() override;

    // Shows the dialog modally running `stream`; the modal result. The link
    // is the stream's until the dialog has closed; the resident loader's
    // wait for a stream ends with it.
    int Run(Procedure& stream);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void FormShow();
    void ButtonClick();
    void FormClose();
    void ShowStream();
    bool Failed() const;

    std::unique_ptr<Ui::BootForm> ui;
    TimedRun run{this};
    Procedure* stream = nullptr;
};
