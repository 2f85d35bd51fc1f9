// How long a user program download takes on the real line, measured on the
// machine model with wire pacing: the model's own clock counts the line time
// of every byte and the erase time, the dialog's 60 ms timer adds its pace;
// and once more behind a USB adapter that holds each answer back 16 ms.
// Prints figures; asserts nothing.
#include "operations/downloads/DownloadStarts.h"
#include "operations/readout/MachineInfo.h"
#include "images/UserImage.h"
#include "link/DeviceLink.h"
#include "procedures/RunProcedure.h"
#include "samples/SampleSet.h"
#include "sim/MachineModel.h"
#include "sim/ModelPortBackend.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

using Seconds = std::chrono::duration<double>;

// How a front end spaces its ticks: the window every 60 ms; the command line
// back to back, pausing as the download hints between polls of a busy erase.
enum class Pace { Window, CommandLine };

struct Figures {
    unsigned ticks = 0;
    Seconds line{};  // time on the line, the machine's clock
    Seconds host{};  // time the tool's own work took on this computer
    std::string result;
};

Figures Download(const std::string& path, Pace pace, SimTime adapterLatency)
{
    MachineConfig config;
    config.wirePacing = true;
    config.adapterLatency = adapterLatency;
    MachineModel machine(config);
    const FactoryImageContent factory = SampleFactoryImage();
    machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image);
    DeviceLink link(std::make_unique<ModelPortBackend>(machine));
    link.OpenPort(PortAddress::OfDevice("model"));

    UserImage image;
    LoadUserProgram(path, image);
    MachineInfo info;
    Figures figures;

    const auto hostStart = std::chrono::steady_clock::now();
    const auto lineStart = machine.Now();
    ActionStart start = StartUserDownload(link, info, image);
    if (!start.procedure) {
        figures.result = start.text;
        return figures;
    }
    ProcedureRun run;
    run.pace = pace == Pace::Window ? ProcedureRun::Pace::TickInterval : ProcedureRun::Pace::BackToBack;
    run.clock = {[&] { return machine.Now(); }, [&](std::chrono::nanoseconds until) { machine.AdvanceTo(until); }};
    run.afterTick = [&](const Procedure&) { ++figures.ticks; };
    RunProcedure(*start.procedure, figures.result, run);
    figures.line = machine.Now() - lineStart;
    figures.host = std::chrono::steady_clock::now() - hostStart;
    return figures;
}

void Measure(const char* what, const UserProgramContent& program, const QTemporaryDir& folder,
             SimTime adapterLatency = {})
{
    const std::string path = folder.filePath("program.tbu").toStdString();
    WriteFileBytes(path, UserProgramBytes(program));
    for (const Pace pace : {Pace::Window, Pace::CommandLine}) {
        const Figures figures = Download(path, pace, adapterLatency);
        std::printf("%-18s %-13s %7zu bytes  %5u ticks  %7.2f s on the line  %6.3f s host  -> %s\n", what,
                    pace == Pace::Window ? "window" : "command line", program.data.size(), figures.ticks,
                    figures.line.count(), figures.host.count(), figures.result.c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;

    Measure("sample program", SampleUserProgram(), folder);
    // The same through a USB adapter whose latency timer was left at 16 ms:
    // every answer waits that long in the adapter.
    Measure("sample, 16 ms USB", SampleUserProgram(), folder, std::chrono::milliseconds(16));

    // The largest program the sample machine's user area takes: one zone
    // filling it behind its two-entry zone table.
    UserProgramContent largest = SampleUserProgram();
    const std::uint32_t size = SampleLayout::kUserAreaLength - 6;
    largest.zoneSizes = {size};
    largest.vectors = {};
    largest.data.assign(size, 0xA5);
    Measure("user area filled", largest, folder);
    return 0;
}
