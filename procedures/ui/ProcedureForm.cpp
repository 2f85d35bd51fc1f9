#include "procedures/ui/ProcedureForm.h"

#include "ui_ProcedureForm.h"

#include "common/ui/DialogPlacement.h"
#include "procedures/Procedure.h"

#include <QKeyEvent>

#include <climits>

TProcedureForm::TProcedureForm(const QString& caption, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ProcedureForm>())
{
    ui->setupUi(this);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(256, 95);
    connect(ui->AbortButton, &QPushButton::clicked, this, &TProcedureForm::AbortButtonClick);
}

TProcedureForm::~TProcedureForm() = default;

int TProcedureForm::Run(Procedure& procedure, std::string* resultText, const QString& caption)
{
    const QString ownCaption = windowTitle();
    if (!caption.isEmpty())
        setWindowTitle(caption);
    // The link stays the procedure's until the dialog has closed.
    run.Begin(procedure, resultText, [this] { ShowProcedure(); }, [this, &procedure] {
        done(procedure.Outcome() == ProcedureResult::Done ? Ok : Abort);
    });
    PlaceCentred(this);
    const int result = exec();
    FormClose();
    setWindowTitle(ownCaption);
    return result;
}

void TProcedureForm::AbortButtonClick()
{
    if (Procedure* procedure = run.Current())
        procedure->Abort();
}

void TProcedureForm::FormClose()
{
    run.Stop();
}

void TProcedureForm::ShowProcedure()
{
    const Procedure& procedure = *run.Current();
    ui->StatusLabel->setText(QString::fromLatin1(procedure.StatusText()));
    ShowProgress(ui->ProgressBar, procedure.Bar());
}

void TProcedureForm::keyPressEvent(QKeyEvent* event)
{
    // Esc presses the cancel button, as the Abort button's click does; Qt
    // would close the dialog instead.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui->AbortButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TProcedureForm::reject()
{
    // Only the close box gets here: the download stops where it is and its
    // result text stays "Not done".
    FormClose();
    done(Cancel);
}

TProgramUserForm::TProgramUserForm(QWidget* parent) : TProcedureForm("Download user program", parent)
{
    setObjectName("ProgramUserForm");
}

TProgramFactoryForm::TProgramFactoryForm(QWidget* parent) : TProcedureForm("Download factory program", parent)
{
    setObjectName("ProgramFactoryForm");
}

void ShowProgress(QProgressBar* bar, const ProcedureProgress& progress)
{
    if (progress.maximum <= progress.minimum) {
        bar->setRange(0, 1);
        bar->setValue(0);
        return;
    }
    std::uint64_t scale = 1;
    while (progress.maximum / scale > std::uint64_t(INT_MAX))
        scale *= 2;
    bar->setRange(int(progress.minimum / scale), int(progress.maximum / scale));
    bar->setValue(int(std::clamp(progress.position, progress.minimum, progress.maximum) / scale));
}
