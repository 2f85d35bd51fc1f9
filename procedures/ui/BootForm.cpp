#include "procedures/ui/BootForm.h"

#include "ui_BootForm.h"

#include "common/ui/DialogPlacement.h"
#include "link/DeviceLink.h"
#include "procedures/Procedure.h"
#include "procedures/ui/ProcedureForm.h"

#include <QKeyEvent>

TBootForm::TBootForm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::BootForm>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(256, 95);
    connect(ui->Button, &QPushButton::clicked, this, &TBootForm::ButtonClick);
}

TBootForm::~TBootForm() = default;

int TBootForm::Run(Procedure& stream)
{
    this->stream = &stream;
    FormShow();
    PlaceCentred(this);
    const int result = exec();
    FormClose();
    this->stream = nullptr;
    stream.Link().EndLoaderWait();  // the resident loader has had its stream, or the user has given up on it
    return result;
}

namespace {

// The bar's place, and its place below the two lines of a failure.
constexpr QPoint kBarPlace{28, 16};
constexpr QPoint kBarPlaceBelowFailure{28, 34};

}  // namespace

void TBootForm::FormShow()
{
    ui->FailureLabel->hide();
    ui->ProgressBar->move(kBarPlace);
    ui->Button->setText("Abort");
    // The header goes as the run begins; the link is the stream's until the dialog has closed.
    run.Begin(*stream, nullptr, [this] { ShowStream(); }, [this] {
        if (stream->Outcome() == ProcedureResult::Done)
            done(Ok);
    });
}

void TBootForm::ShowStream()
{
    ShowProgress(ui->ProgressBar, stream->Bar());
    if (!stream->IsFinished())
        return;
    if (Failed()) {
        ui->FailureLabel->setText(QString::fromStdString(stream->ResultText()));
        ui->FailureLabel->show();
        ui->ProgressBar->move(kBarPlaceBelowFailure);
        ui->Button->setText("Close");
    } else {
        ui->Button->setText("Done");
    }
}

bool TBootForm::Failed() const
{
    return stream && stream->Outcome() == ProcedureResult::WriteFailed;
}

void TBootForm::ButtonClick()
{
    if (stream && !stream->IsFinished()) {
        stream->Abort();  // nothing more is sent
        done(Abort);
        return;
    }
    done(Failed() ? Abort : Ok);
}

void TBootForm::FormClose()
{
    run.Stop();
}

void TBootForm::keyPressEvent(QKeyEvent* event)
{
    // Esc presses the cancel button; Qt would close the dialog instead.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui->Button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TBootForm::reject()
{
    // The close box: the stream ends where it is.
    if (stream && !stream->IsFinished())
        stream->Abort();
    FormClose();
    done(Failed() ? Abort : Cancel);
}
