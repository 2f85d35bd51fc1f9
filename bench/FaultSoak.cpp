// A soak of the two operations a technician runs most, the full readout and
// the user program download, against the machine model under random faults:
// lost requests, bad checksums, surplus and late bytes, bad erase and program
// statuses, and a machine whose power goes off (and, now and then, comes back
// within the round). After every round it checks what the tool claimed
// against the machine:
//
// - the outcome is one of the documented texts;
// - a download that says "Done" left exactly the prepared program at its
//   base and the zone table at the start of the user area, the rest of the
//   user area erased, and the factory area as it was;
// - a readout that claims an answer shows what a readout without faults shows;
// - a failure is claimed only when a fault was injected, "Aborted" only after
//   an abort, a bad status only with a status that was injected;
// - the next readout, the faults gone and the machine on a moment later,
//   recovers.
//
// Prints the seed, the counts of every outcome and the number of wrong
// claims; exits 1 when there is one. The same seed gives the same run.
//
//     fault-soak [--seed N] [--rounds N] [--pace]
//
// --pace: requests and answers take their time on the line, as mirelle-sim's.

#include "operations/downloads/DownloadStarts.h"
#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "images/UserImage.h"
#include "link/DeviceLink.h"
#include "procedures/FlashDownload.h"
#include "procedures/RunProcedure.h"
#include "samples/SampleSet.h"
#include "sim/MachineModel.h"
#include "sim/ModelPortBackend.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kDefaultSeed = 20240611;
constexpr unsigned kDefaultRounds = 1000;
// How many wrong claims are described on standard error; all are counted.
constexpr unsigned kClaimsDescribed = 20;

// The model's port, cutting the machine's power after a number of writes and
// switching it on again some writes later.
class PowerCuttingBackend final : public PortBackend {
public:
    explicit PowerCuttingBackend(MachineModel& machine) : machine(machine), model(machine) {}

    // The power goes off after `offAfter` more writes, and on again `onAfter`
    // writes after that (0: not by this backend).
    void Schedule(unsigned offAfter, unsigned onAfter)
    {
        offAt = writes + offAfter;
        onAt = onAfter == 0 ? 0 : offAt + onAfter;
    }
    void Cancel() { offAt = onAt = 0; }

    bool Open(const PortAddress& address, const LineSettings& settings) override { return model.Open(address, settings); }
    void Close() override { model.Close(); }
    bool IsOpen() const override { return model.IsOpen(); }
    bool Write(std::span<const std::uint8_t> bytes) override
    {
        const bool taken = model.Write(bytes);
        ++writes;
        if (writes == offAt)
            machine.PowerOff();
        if (writes == onAt)
            machine.PowerOn();
        return taken;
    }
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override
    {
        return model.Read(into, timeout);
    }
    void PurgeReceive() override { model.PurgeReceive(); }
    bool SetBreak(bool on) override { return model.SetBreak(on); }
    bool SetRts(bool on) override { return model.SetRts(on); }

private:
    MachineModel& machine;
    ModelPortBackend model;
    std::uint64_t writes = 0;
    std::uint64_t offAt = 0;
    std::uint64_t onAt = 0;
};

struct Options {
    std::uint32_t seed = kDefaultSeed;
    unsigned rounds = kDefaultRounds;
    bool pace = false;
};

bool ParseNumber(const char* text, std::uint32_t& value)
{
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 0);
    if (end == text || *end != '\0' || parsed > 0xFFFFFFFFull || text[0] == '-')
        return false;
    value = std::uint32_t(parsed);
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--pace") {
            options.pace = true;
            continue;
        }
        std::uint32_t value = 0;
        if (i + 1 >= argc || !ParseNumber(argv[i + 1], value))
            return false;
        ++i;
        if (name == "--seed")
            options.seed = value;
        else if (name == "--rounds")
            options.rounds = value;
        else
            return false;
    }
    return true;
}

// What one round injects.
struct Plan {
    bool download = false;
    std::vector<Fault> faults;
    unsigned powerOffAfter = 0;  // writes; 0: the power stays on
    unsigned powerOnAfter = 0;   // writes after the cut; 0: on again only for the recovery
    unsigned abortAtTick = 0;    // the download's tick before which Abort is pressed; 0: none

    bool Faulty() const { return !faults.empty() || powerOffAfter != 0; }
    bool Injected(FaultKind kind, std::uint8_t status) const
    {
        return std::any_of(faults.begin(), faults.end(),
                           [&](const Fault& f) { return f.kind == kind && f.status == status; });
    }
    std::string Describe() const
    {
        static const char* const kNames[] = {"lost", "checksum", "surplus", "late", "erase status", "program status"};
        std::string text = download ? "download:" : "readout:";
        for (const Fault& f : faults) {
            char line[96];
            std::snprintf(line, sizeof line, " %s #%u%s (status 0x%02X, %u bytes, %lld ms)", kNames[int(f.kind)],
                          f.nth, f.persistent ? " on" : "", f.status, f.surplusBytes,
                          static_cast<long long>(f.delay.count()));
            text += line;
        }
        if (powerOffAfter != 0)
            text += " power off after " + std::to_string(powerOffAfter) + " writes, on "
                    + (powerOnAfter != 0 ? std::to_string(powerOnAfter) + " later" : "for the recovery");
        if (abortAtTick != 0)
            text += " abort before tick " + std::to_string(abortAtTick);
        return text;
    }
};

class Dice {
public:
    explicit Dice(std::uint32_t seed) : engine(seed) {}
    unsigned Pick(unsigned low, unsigned high) { return std::uniform_int_distribution<unsigned>(low, high)(engine); }
    bool Chance(unsigned percent) { return Pick(1, 100) <= percent; }

private:
    std::mt19937 engine;
};

// As many requests as each operation makes on the sample machine, so that
// most faults strike: a complete readout makes 16; a download its readout,
// four erases each polled some thirty times, and the program's blocks.
constexpr unsigned kReadoutRequests = 16;
constexpr unsigned kDownloadRequests = 145;
constexpr unsigned kUserAreaErases = SampleLayout::kUserAreaLength / SampleLayout::kEraseStep;
constexpr unsigned kProgramLength = SampleLayout::kUserZoneSizes[0] + SampleLayout::kUserZoneSizes[1]
                                    + SampleLayout::kUserZoneSizes[2] + SampleLayout::kUserZoneSizes[3];
// The data blocks and the zone table.
constexpr unsigned kProgramRequests = (kProgramLength + FlashDownload::kBlockSize - 1) / FlashDownload::kBlockSize + 1;
// A program record: its entry address and its version word.
constexpr std::uint32_t kRecordSize = 6;
constexpr std::uint8_t kStatuses[] = {0x02, 0x04, 0x08, 0x40, 0x80, 0xFF};  // never 0 (done) nor 1 (busy)
constexpr unsigned kMaxFaults = 3;
constexpr unsigned kMaxDelayMs = 800;
// The technician's pause before the next readout: longer than the latest a
// reply can come, all the faults of a round late on the same request (their
// delays add up), so that the line is quiet again.
constexpr auto kRecoveryPause = std::chrono::milliseconds(kMaxFaults * kMaxDelayMs) + 1s;

// A round in five has no fault; the others up to three, of any kind.
Plan MakePlan(Dice& dice)
{
    Plan plan;
    plan.download = dice.Chance(50);
    if (dice.Chance(20))
        return plan;
    const unsigned requests = plan.download ? kDownloadRequests : kReadoutRequests;
    const unsigned kinds = plan.download ? 7 : 5;  // a readout neither erases nor programs
    for (unsigned count = dice.Pick(1, kMaxFaults); count > 0; --count) {
        Fault fault;
        switch (dice.Pick(1, kinds)) {
        case 1: fault.kind = FaultKind::NoAnswer; break;
        case 2: fault.kind = FaultKind::BadChecksum; break;
        case 3: fault.kind = FaultKind::SurplusBytes; break;
        case 4: fault.kind = FaultKind::LateReply; break;
        case 5:
            plan.powerOffAfter = dice.Pick(1, 2 * requests);
            plan.powerOnAfter = dice.Chance(50) ? dice.Pick(1, 40) : 0;
            continue;
        case 6: fault.kind = FaultKind::EraseStatus; break;
        case 7: fault.kind = FaultKind::ProgramStatus; break;
        }
        fault.nth = dice.Pick(1, fault.kind == FaultKind::EraseStatus     ? kUserAreaErases
                                 : fault.kind == FaultKind::ProgramStatus ? kProgramRequests
                                                                          : requests);
        fault.persistent = dice.Chance(10);
        fault.status = kStatuses[dice.Pick(0, std::size(kStatuses) - 1)];
        fault.surplusBytes = dice.Pick(1, 8);
        fault.delay = std::chrono::milliseconds(dice.Pick(20, kMaxDelayMs));
        plan.faults.push_back(fault);
    }
    if (plan.download && dice.Chance(15))
        plan.abortAtTick = dice.Pick(1, 150);
    return plan;
}

// What a readout claims: the panel as the window shows it.
std::string Claims(const MachineInfo& info)
{
    const MachinePanel panel = FillMachinePanel(info, true);
    std::string text = "status \"" + panel.statusText + "\"";
    for (const PanelRow& row : panel.rows)
        text += "; " + row.caption + " " + row.text;
    return text;
}

class Soak {
public:
    explicit Soak(const Options& options) : options(options), dice(options.seed), machine(Config(options))
    {
        const FactoryImageContent factory = SampleFactoryImage();
        machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image);
        factoryArea = machine.ReadFlash(SampleLayout::kFactoryBase, SampleLayout::kUserArea - SampleLayout::kFactoryBase);
        link.OpenPort(PortAddress::OfDevice("model"));
        ReadMachineInfo(link, truth);
    }

    int Run()
    {
        const auto hostStart = std::chrono::steady_clock::now();
        for (round = 1; round <= options.rounds; ++round) {
            const Plan plan = MakePlan(dice);
            Inject(plan);
            if (plan.download)
                Download(plan);
            else
                Readout(plan);
            Recover(plan);
        }
        const std::chrono::duration<double> host = std::chrono::steady_clock::now() - hostStart;
        Print(host.count());
        return wrongClaims == 0 ? 0 : 1;
    }

private:
    static MachineConfig Config(const Options& options)
    {
        MachineConfig config;
        config.wirePacing = options.pace;
        return config;
    }

    void Inject(const Plan& plan)
    {
        for (const Fault& fault : plan.faults) {
            machine.InjectFault(fault);
            ++injected[std::size_t(fault.kind)];
        }
        if (plan.powerOffAfter != 0) {
            power->Schedule(plan.powerOffAfter, plan.powerOnAfter);
            ++powerCuts;
        }
        aborts += plan.abortAtTick != 0 ? 1 : 0;
        faultRounds += plan.Faulty() ? 1 : 0;
    }

    void Readout(const Plan& plan)
    {
        MachineInfo info;
        ReadMachineInfo(link, info);
        ++readouts[info.statusText];
        if (info.statusText != "" && info.statusText != "Done" && info.statusText != "No answer")
            Wrong(plan, "readout status \"" + info.statusText + "\"");
        else if (info.statusText == "No answer" && !plan.Faulty())
            Wrong(plan, "readout \"No answer\" without a fault");
        else if (info.statusText != "No answer")
            claimedReadout = Claims(info);  // checked against the recovery's
    }

    void Download(const Plan& plan)
    {
        LoadVariant();
        ActionStart start = StartUserDownload(link, downloadInfo, image);
        if (!start.procedure) {
            ++downloads["refused: " + start.text];
            if (start.text != "No answer")
                Wrong(plan, "download refused: " + start.text);
            else if (!plan.Faulty())
                Wrong(plan, "download refused \"No answer\" without a fault");
            return;
        }
        unsigned ticks = 0;
        bool aborted = false;
        ProcedureRun run;
        run.clock = {[this] { return machine.Now(); }, [this](std::chrono::nanoseconds until) { machine.AdvanceTo(until); }};
        run.beforeTick = [&](Procedure& procedure) {
            if (++ticks == plan.abortAtTick) {
                procedure.Abort();
                aborted = true;
            }
        };
        std::string resultText;
        const ProcedureResult outcome = RunProcedure(*start.procedure, resultText, run);
        CheckDownload(plan, outcome, resultText, aborted);
    }

    void CheckDownload(const Plan& plan, ProcedureResult outcome, const std::string& text, bool aborted)
    {
        static const std::regex kBadStatus("bad status while (erasing|programming) : 0x([0-9A-F]{2})");
        std::smatch status;
        const bool badStatus = std::regex_match(text, status, kBadStatus);
        downloads[badStatus ? "bad status while " + status[1].str() : text] += 1;

        if (aborted != (outcome == ProcedureResult::Aborted) || aborted != (text == "Aborted"))
            Wrong(plan, "\"" + text + "\" " + (aborted ? "after an abort" : "without an abort"));
        else if (outcome == ProcedureResult::Done && text == "Done")
            CheckFlash(plan);
        else if (outcome == ProcedureResult::NoAnswer && text == "No answer") {
            if (!plan.Faulty())
                Wrong(plan, "\"No answer\" without a fault");
        } else if (badStatus) {
            const bool erasing = status[1] == "erasing";
            const auto code = std::uint8_t(std::stoul(status[2].str(), nullptr, 16));
            if (outcome != (erasing ? ProcedureResult::EraseStatus : ProcedureResult::ProgramStatus)
                || !plan.Injected(erasing ? FaultKind::EraseStatus : FaultKind::ProgramStatus, code))
                Wrong(plan, "\"" + text + "\" with no such status injected");
        } else if (outcome != ProcedureResult::Aborted) {
            Wrong(plan, "download result \"" + text + "\"");
        }
        CheckFactoryArea(plan);
    }

    // The user area holds the zone table, the program at its base, then erased flash.
    void CheckFlash(const Plan& plan)
    {
        UserImage expected = loaded;
        PrepareUserImage(expected, truth);
        std::vector<std::uint8_t> area(SampleLayout::kUserAreaLength, 0xFF);
        const std::vector<std::uint8_t> zoneTable = expected.ZoneTable();
        std::copy(zoneTable.begin(), zoneTable.end(), area.begin());
        std::copy(expected.data.begin(), expected.data.end(),
                  area.begin() + (expected.programBase - SampleLayout::kUserArea));
        if (machine.ReadFlash(SampleLayout::kUserArea, area.size()) != area)
            Wrong(plan, "\"Done\" with the user area not holding the program");
    }

    void CheckFactoryArea(const Plan& plan)
    {
        if (machine.ReadFlash(SampleLayout::kFactoryBase, factoryArea.size()) != factoryArea)
            Wrong(plan, "the factory area changed");
    }

    // The faults gone, the machine on, a pause later (what was late has
    // come): the readout answers, and shows what a faulty one claimed.
    void Recover(const Plan& plan)
    {
        machine.ClearFaults();
        power->Cancel();
        if (machine.CurrentMode() == MachineModel::Mode::Off)
            machine.PowerOn();
        machine.Advance(kRecoveryPause);
        MachineInfo info;
        ReadMachineInfo(link, info);
        if (info.statusText == "No answer")
            Wrong(plan, "the readout after it did not recover");
        else if (!claimedReadout.empty() && claimedReadout != Claims(info))
            Wrong(plan, "readout claimed " + claimedReadout + "\n    where the machine shows " + Claims(info));
        claimedReadout.clear();
    }

    // The sample program with new code in its two program zones and a new
    // program 2 version, so that no download finds its program already there.
    void LoadVariant()
    {
        UserProgramContent program = SampleUserProgram();
        const std::uint32_t program1 = SampleLayout::kUserZoneSizes[0] + SampleLayout::kUserZoneSizes[1];
        const std::uint32_t program2 = program1 + SampleLayout::kUserZoneSizes[2];
        const auto scramble = [&](std::uint32_t from, std::uint32_t to) {
            for (std::uint32_t i = from; i < to; ++i)
                program.data[i] = std::uint8_t(dice.Pick(0, 255));
        };
        scramble(program1 + kRecordSize, program2);
        scramble(program2 + kRecordSize, std::uint32_t(program.data.size()));
        scramble(program2 + FlashMap::kRecordVersion + 1, program2 + FlashMap::kRecordVersion + 2);  // the minor
        const std::string path = folder.filePath("program.tbu").toStdString();
        WriteFileBytes(path, UserProgramBytes(program));
        LoadUserProgram(path, image);
        loaded = image;
    }

    void Wrong(const Plan& plan, const std::string& what)
    {
        if (++wrongClaims <= kClaimsDescribed)
            std::fprintf(stderr, "round %u, %s\n    %s\n", round, plan.Describe().c_str(), what.c_str());
    }

    void Print(double hostSeconds) const
    {
        std::printf("fault-soak: seed %u, %u rounds (%u with faults)%s, %.1f s on the line, %.2f s host\n",
                    options.seed, options.rounds, faultRounds, options.pace ? ", paced" : "",
                    std::chrono::duration<double>(machine.Now()).count(), hostSeconds);
        std::printf("injected: %u lost, %u bad checksums, %u surplus, %u late, %u erase statuses, "
                    "%u program statuses, %u power cuts, %u aborts\n",
                    injected[0], injected[1], injected[2], injected[3], injected[4], injected[5], powerCuts, aborts);
        std::printf("readouts:\n");
        for (const auto& [text, count] : readouts)
            std::printf("  %6u  %s\n", count, text.empty() ? "(complete)" : text.c_str());
        std::printf("downloads:\n");
        for (const auto& [text, count] : downloads)
            std::printf("  %6u  %s\n", count, text.c_str());
        std::printf("wrong claims: %u\n", wrongClaims);
    }

    const Options options;
    Dice dice;
    MachineModel machine;
    PowerCuttingBackend* power = new PowerCuttingBackend(machine);  // owned by the link
    DeviceLink link{std::unique_ptr<PortBackend>(power)};
    MachineInfo truth;  // the readout of the sample machine without faults
    MachineInfo downloadInfo;
    std::vector<std::uint8_t> factoryArea;
    QTemporaryDir folder;
    UserImage image;
    UserImage loaded;  // the image as loaded, before a download prepared it
    std::string claimedReadout;

    unsigned round = 0;
    unsigned faultRounds = 0;
    unsigned wrongClaims = 0;
    std::array<unsigned, 6> injected{};  // by FaultKind
    unsigned powerCuts = 0;
    unsigned aborts = 0;
    std::map<std::string, unsigned> readouts;
    std::map<std::string, unsigned> downloads;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: fault-soak [--seed N] [--rounds N] [--pace]\n");
        return 2;
    }
    return Soak(options).Run();
}
