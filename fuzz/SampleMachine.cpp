#include "fuzz/SampleMachine.h"

#include "operations/downloads/DownloadStarts.h"
#include "operations/readout/MachineInfo.h"
#include "samples/SampleSet.h"

#include <cstdlib>
#include <cstdio>

namespace {

MachineConfig FuzzConfig()
{
    MachineConfig config;
    // An erase is over after a few polls, so that a download runs to its end
    // within the ticks an input gets.
    config.eraseTime = std::chrono::milliseconds(2);
    config.keepRequestLog = false;
    return config;
}

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "sample machine: %s\n", what);
        std::abort();
    }
}

}  // namespace

SampleMachine::SampleMachine() : machine(FuzzConfig())
{
    const FactoryImageContent factory = SampleFactoryImage();
    Require(machine.ApplyImage(factory.eraseVectors, SampleLayout::kFactoryBase, factory.image),
            "the sample factory image does not apply");

    LoadUserBytes(UserProgramBytes(SampleUserProgram()), userImage);
    Require(userImage.loaded, "the sample user program does not load");
    KeepUserImageAsLoaded(userImage);

    // The user area as a download leaves it: the zone table, then the data.
    MachineInfo info;
    info.userAreaAddress = SampleLayout::kUserArea;
    UserImage placed = userImage;
    Require(PrepareUserImage(placed, info), "the sample user program does not relocate");
    std::vector<std::uint8_t> userArea = placed.ZoneTable();
    userArea.insert(userArea.end(), placed.data.begin(), placed.data.end());
    const std::uint32_t eraseAt[] = {SampleLayout::kUserArea};
    Require(machine.ApplyImage(eraseAt, SampleLayout::kUserArea, userArea), "the sample user program does not fit");

    symbols.LoadSymbolBytes(SymbolFileBytes(SampleSymbols()));
    Require(symbols.Count() > 0, "the sample symbols do not load");
}

const SampleMachine& SampleMachine::Get()
{
    static const SampleMachine sample;
    return sample;
}
