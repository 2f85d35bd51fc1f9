#include "sim/ModelPortBackend.h"

ModelPortBackend::ModelPortBackend(MachineModel& machine) : machine(machine) {}

bool ModelPortBackend::Open(const PortAddress& address, const LineSettings& settings)
{
    const std::string& deviceName = address.device;
    Close();
    if (deviceName.empty() || !available)
        return false;
    device = deviceName;
    lineMatches = settings.baudRate == 38400 && settings.parity == Parity::Odd && settings.stopBits == StopBits::One;
    open = true;
    // A port opens with RTS off.
    machine.SetRtsLine(false);
    return true;
}

void ModelPortBackend::Close()
{
    open = false;
}

bool ModelPortBackend::Write(std::span<const std::uint8_t> bytes)
{
    if (!open)
        return false;
    if (lineMatches)
        machine.Feed(bytes);
    machine.Advance(MachineModel::kByteTime * std::int64_t(bytes.size()));
    return true;
}

std::size_t ModelPortBackend::Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout)
{
    if (!open)
        return 0;
    const SimTime deadline = machine.Now() + timeout;
    std::size_t got = 0;
    for (;;) {
        if (lineMatches)
            got += machine.TakeOutput(into.subspan(got));
        if (got == into.size())
            return got;
        const auto next = machine.NextOutputTime();
        if (!lineMatches || !next || *next > deadline) {
            machine.AdvanceTo(deadline);
            if (lineMatches)
                got += machine.TakeOutput(into.subspan(got));
            return got;
        }
        machine.AdvanceTo(*next);
    }
}

void ModelPortBackend::PurgeReceive()
{
    if (open)
        machine.DropArrivedOutput();
}

bool ModelPortBackend::SetBreak(bool on)
{
    if (!open)
        return false;
    if (on && lineMatches)
        machine.LineBreak();
    return true;
}

bool ModelPortBackend::SetRts(bool on)
{
    if (!open)
        return false;
    machine.SetRtsLine(on);
    return true;
}
