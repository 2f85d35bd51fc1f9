// The tool's side of the line against answers a fuzzer chooses: the full
// readout, the panel's texts and the JSON of what it found, then the user
// panel's "Download" (readout, checks, relocation) and the download itself for
// a fixed number of ticks. A download still under way after them is not a
// hang: the fuzzed answers may keep an erase busy for ever.
//
// Input: the first byte picks the mode (even: raw bytes, odd: a machine whose
// answers are changed), the rest feeds FuzzPortBackend.
#include "operations/downloads/DownloadStarts.h"
#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "cli/MachineInfoJson.h"
#include "fuzz/FuzzPortBackend.h"
#include "fuzz/SampleMachine.h"
#include "link/DeviceLink.h"
#include "procedures/user/UserDownload.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace {

constexpr int kMaxTicks = 400;

void RunDownload(Procedure& download)
{
    download.Start();
    for (int tick = 0; tick < kMaxTicks && !download.IsFinished(); ++tick) {
        download.Tick();
        download.Bar();
        download.Work();
        download.StatusText();
    }
    download.Abort();
    download.Tick();
    download.ResultText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const SampleMachine& sample = SampleMachine::Get();
    // Assigned, not copied: the flash keeps its pages from one input to the next.
    static MachineModel machine = sample.machine;
    machine = sample.machine;
    FuzzBytes input(std::span(data + 1, size - 1));
    const auto mode = data[0] % 2 == 0 ? FuzzPortBackend::Mode::Raw : FuzzPortBackend::Mode::Structured;
    DeviceLink link(std::make_unique<FuzzPortBackend>(mode, input, machine));
    link.OpenPort(PortAddress::OfDevice("/dev/fuzz"));

    MachineInfo info;
    ReadMachineInfo(link, info);
    FillMachinePanel(info, true);
    MachineInfoJson(info);

    UserImage image = sample.userImage;
    const ActionStart start = StartUserDownload(link, info, image);
    FillMachinePanel(info, false);
    if (start.procedure) {
        RunDownload(*start.procedure);
    } else {
        // Refused: the download still runs on what the readout found, as no
        // front end would start it, to meet the fuzzed answers all the same.
        const UserArea area{info.userAreaAddress, info.userAreaLength, info.eraseStep};
        image.programBase = std::uint32_t(info.userAreaAddress + UserImage::ZoneTableSize(image.zoneCount));
        UserDownload download(link, area, image.programBase, image.data, image.ZoneTable());
        RunDownload(download);
    }
    return 0;
}
