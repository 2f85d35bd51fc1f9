#pragma once

// The six windows of mirelle-loader over the in-process machine model, with
// scripted prompts and settings of the test's own, and helpers to reach
// their controls by the names the forms give them.

#include "app/ui/LoaderWindows.h"
#include "link/ui/ConfigForm.h"
#include "support/FlashLayouts.h"
#include "app/ui/MainForm.h"
#include "procedures/ui/ProcedureForm.h"
#include "support/OwnedContext.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <functional>

// A machine whose erases take no time: the windows run on real timers,
// while the model's clock moves only with the exchanges.
inline MachineConfig QuickMachine()
{
    MachineConfig config;
    config.eraseTime = SimTime::zero();
    return config;
}

inline void ClearSettings()
{
    QSettings("Orvane", "Quorvex").clear();
}

inline void StoreSetting(const QString& name, const QVariant& value)
{
    QSettings settings("Orvane", "Quorvex");
    settings.setValue(name, value);
    settings.sync();
}

struct ModelWindows {
    ModelLink m;
    OwnedContext objects;
    ToolContext context;
    ScriptedPrompts prompts;
    LoaderWindows windows;

    explicit ModelWindows(bool developer = false, const MachineConfig& config = QuickMachine())
        : m(config), context(objects.Over(m.link)),
          // The port dialog opens what the settings say.
          windows((m.link.ClosePort(), CreateLoaderWindows(context, prompts, developer)))
    {
    }

    TMainForm& Main() { return *windows.main; }
    template <typename T>
    T* Find(const char* name)
    {
        T* found = windows.main->findChild<T*>(name);
        if (!found)
            ADD_FAILURE() << "no control " << name;
        return found;
    }
    QString Text(const char* name)
    {
        if (auto* label = windows.main->findChild<QLabel*>(name))
            return label->text();
        if (auto* edit = windows.main->findChild<QLineEdit*>(name))
            return edit->displayText();
        ADD_FAILURE() << "no label or edit " << name;
        return {};
    }
    void Click(const char* button) { Find<QPushButton>(button)->click(); }
    // The status line's timer ticking every few milliseconds instead of every second.
    void QuickStatusLine() { Find<QTimer>("Timer1")->setInterval(10); }
};

// Runs `action` on the modal dialog once it is shown, from inside its loop.
inline void WhenModal(std::function<void(QWidget*)> action)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(dialog);
        }
    });
    poll->start(5);
}
