// The developer console's interpreter over lines a fuzzer writes, against the
// simulated machine with the sample symbols loaded. Each line of the input
// runs as a command as it stands, then as the Enter key runs it (trimmed, and
// kept as the last command, which an empty line runs again).
#include "console/Console.h"
#include "console/ConsoleHost.h"
#include "fuzz/SampleMachine.h"
#include "link/DeviceLink.h"
#include "sim/ModelPortBackend.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

// Lines past these make an input slow without reaching anything new.
constexpr std::size_t kMaxLines = 64;

// A host without a window: the window's commands are refused, a watch is
// only looked at.
class NoWindow final : public ConsoleHost {
public:
    std::optional<std::string> Clear() override { return std::nullopt; }
    std::optional<std::string> Load() override { return std::nullopt; }
    std::optional<std::string> Save() override { return std::nullopt; }
    void OpenWatch(const WatchOrder& order) override { lastWatch = order; }

    WatchOrder lastWatch;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const SampleMachine& sample = SampleMachine::Get();
    // Assigned, not copied: the flash keeps its pages from one input to the next.
    static MachineModel machine = sample.machine;
    machine = sample.machine;
    DeviceLink link(std::make_unique<ModelPortBackend>(machine));
    link.OpenPort(PortAddress::OfDevice("/dev/fuzz"));
    NoWindow host;
    Console console(link, sample.symbols, host);

    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t lines = 0; lines < kMaxLines && !text.empty(); ++lines) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        console.RunCommand(line);
        console.Enter(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    console.Enter("");
    return 0;
}
