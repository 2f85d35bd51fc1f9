#pragma once

#include "console/Console.h"
#include "console/ConsoleFiles.h"
#include "console/ConsoleHost.h"

#include <QWidget>

#include <memory>

namespace Ui {
class EmulForm;
}
class DeviceLink;
class Prompts;

// "Emulator": the developer console on the machine's memory. One command a
// line; Enter runs the line under the caret and appends its output at the
// end. Shown, not modal, from the Tools menu; closing it only hides it, its
// text, defaults and last command kept. It owns the watch windows it opens.
class TEmulForm final : public QWidget, private ConsoleHost {
    Q_OBJECT

public:
    // The console's symbols are `targets.symbols`, which its "load" fills.
    TEmulForm(DeviceLink& link, const LoadTargets& targets, Prompts& prompts, QWidget* parent = nullptr);
    ~TEmulForm() override;

    // A symbol file given to the window: loaded as "load" loads one, its
    // verdict appended as that command's output, and the console shown.
    void LoadSymbolFile(const std::string& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The Enter handler, ReturnButton's click.
    void MemoReturnPress();
    // `output` appended at the end of the text as it is now, the caret after it.
    void Append(const std::string& output);

    // What the commands ask of the window.
    std::optional<std::string> Clear() override;
    std::optional<std::string> Load() override;
    std::optional<std::string> Save() override;
    void OpenWatch(const WatchOrder& order) override;

    // The console text with CR LF line ends, as the commands and the log see it.
    std::string Text() const;

    std::unique_ptr<Ui::EmulForm> ui;
    DeviceLink& link;
    ConsoleFiles files;
    Console console;
};
