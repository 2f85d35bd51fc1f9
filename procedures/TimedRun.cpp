#include "procedures/TimedRun.h"

#include "link/DeviceLink.h"
#include "procedures/Procedure.h"

TimedRun::TimedRun(QObject* parent) : QObject(parent)
{
    timer.setObjectName("Timer");
    connect(&timer, &QTimer::timeout, this, &TimedRun::Tick);
}

TimedRun::~TimedRun() = default;

void TimedRun::Begin(Procedure& run, std::string* text, std::function<void()> onTick, std::function<void()> onEnd)
{
    Stop();
    procedure = &run;
    resultText = text;
    ticked = std::move(onTick);
    finished = std::move(onEnd);
    owner = std::make_unique<LinkOwner>(run.Link());
    if (resultText)
        *resultText = run.ResultText();  // "Not done"
    timer.setInterval(run.TickInterval());
    run.Start();
    if (ticked)
        ticked();
    if (run.IsFinished()) {
        Finish();
        return;
    }
    timer.start();
}

void TimedRun::Stop()
{
    timer.stop();
    owner.reset();
    procedure = nullptr;
    resultText = nullptr;
}

void TimedRun::Tick()
{
    if (!procedure)
        return;
    procedure->Tick();
    if (ticked)
        ticked();
    if (procedure->IsFinished())
        Finish();
}

void TimedRun::Finish()
{
    timer.stop();
    if (resultText)
        *resultText = procedure->ResultText();
    if (finished)
        finished();
}
