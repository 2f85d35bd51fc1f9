#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class LinkOwner;
class Procedure;

// The window's way of running a procedure: a timer on the event loop ticks
// it every TickInterval(), so that the window stays responsive between
// ticks, and the dialog that shows it (the download dialogs, the boot
// dialog) is told after each tick. It keeps the process-wide result text it
// is given in step: "Not done" from the start, the procedure's result text
// at its end. It owns the link for as long as it runs, as RunProcedure does
// outside a window.
class TimedRun final : public QObject {
public:
    explicit TimedRun(QObject* parent = nullptr);
    ~TimedRun() override;

    // Starts the procedure (its Start(), then the timer). `resultText`: the
    // process-wide result text kept in step, or none. `ticked` is called
    // after each tick (and after the start), `finished` once it has ended.
    void Begin(Procedure& procedure, std::string* resultText, std::function<void()> ticked,
               std::function<void()> finished);
    // Stops the timer where the procedure is, and gives the link back: the
    // result text stays as it was when the procedure has not ended (a dialog
    // closed before the end). The link stays owned after the end until then.
    void Stop();
    bool Running() const { return timer.isActive(); }
    Procedure* Current() const { return procedure; }

private:
    void Tick();
    void Finish();

    QTimer timer{this};
    Procedure* procedure = nullptr;
    std::string* resultText = nullptr;
    std::unique_ptr<LinkOwner> owner;
    std::function<void()> ticked;
    std::function<void()> finished;
};
