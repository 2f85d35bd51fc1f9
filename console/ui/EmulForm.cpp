#include "console/ui/EmulForm.h"

#include "common/QtText.h"
#include "ui_EmulForm.h"

#include "console/ConsoleText.h"
#include "console/ui/WatchForm.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>

namespace {

// The console's fixed-pitch font: "Terminal" where it exists, else the
// system's. Where the system's resolves to a family that Qt does not take as
// fixed pitch (Noto Sans Mono does this), the first common one that is.
QFont ConsoleFont()
{
    QFont font = QFontDatabase::hasFamily("Terminal") ? QFont("Terminal")
                                                      : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Courier New"}) {
        if (QFontInfo(font).fixedPitch())
            break;
        if (QFontDatabase::hasFamily(family))
            font.setFamily(family);
    }
    return font;
}

// The edit keeps its lines with LF only; the console counts CR LF. Latin-1
// both ways: one byte a character, as the machine and the files have them.
std::string CrLfText(const QString& text)
{
    return QString(text).replace(u'\n', QStringLiteral("\r\n")).toLatin1().toStdString();
}

QString LfText(const std::string& text)
{
    return QStringFromLatin1(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

TEmulForm::TEmulForm(DeviceLink& link, const LoadTargets& targets, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::EmulForm>()), link(link), files(prompts, targets),
      console(link, targets.symbols, *this)
{
    ui->setupUi(this);
    resize(453, 422);
    ui->Memo->setFont(ConsoleFont());
    // Enter and Return press the hidden default button instead of breaking the line.
    ui->Memo->installEventFilter(this);
    connect(ui->ReturnButton, &QPushButton::clicked, this, &TEmulForm::MemoReturnPress);
}

TEmulForm::~TEmulForm() = default;

bool TEmulForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Memo && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->ReturnButton->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TEmulForm::MemoReturnPress()
{
    const QString shown = ui->Memo->toPlainText();
    const qsizetype caret = ui->Memo->textCursor().position();
    const std::string before = CrLfText(shown.left(caret));
    const std::string text = before + CrLfText(shown.mid(caret));
    const std::optional<CommandResult> result = console.Enter(LineAt(text, before.size()));
    if (result)
        Append(result->output);  // at the end as it is now: "clear" may have emptied it
}

void TEmulForm::Append(const std::string& output)
{
    QTextCursor end(ui->Memo->document());
    end.movePosition(QTextCursor::End);
    end.insertText(LfText(TextToAppend(CrLfText(ui->Memo->toPlainText().right(1)), output)));
    ui->Memo->setTextCursor(end);
    ui->Memo->ensureCursorVisible();
}

void TEmulForm::LoadSymbolFile(const std::string& path)
{
    Append(files.LoadSymbols(path));
    show();
    raise();
    activateWindow();
}

std::optional<std::string> TEmulForm::Clear()
{
    ui->Memo->clear();
    return std::string();
}

std::optional<std::string> TEmulForm::Load()
{
    return files.LoadSymbols();
}

std::optional<std::string> TEmulForm::Save()
{
    return files.SaveLog(Text());
}

void TEmulForm::OpenWatch(const WatchOrder& order)
{
    new TWatchForm(this, order, link);  // owned by the console, freed when closed
    show();
    raise();
    activateWindow();
}

std::string TEmulForm::Text() const
{
    return CrLfText(ui->Memo->toPlainText());
}
