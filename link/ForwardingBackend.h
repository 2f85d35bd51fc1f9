#pragma once

#include "link/PortBackend.h"

#include <memory>
#include <utility>

// A PortBackend that passes every call on to another one: the base of the
// backends that watch or bound the line (tracing, recording, a stop), which
// override only the calls they add to.
class ForwardingBackend : public PortBackend {
public:
    explicit ForwardingBackend(std::unique_ptr<PortBackend> inner) : inner(std::move(inner)) {}

    bool Open(const PortAddress& address, const LineSettings& settings) override
    {
        return inner->Open(address, settings);
    }
    std::string OpenError() const override { return inner->OpenError(); }
    std::string LostReason() const override { return inner->LostReason(); }
    std::size_t Pending() override { return inner->Pending(); }
    void Close() override { inner->Close(); }
    bool IsOpen() const override { return inner->IsOpen(); }
    bool Write(std::span<const std::uint8_t> bytes) override { return inner->Write(bytes); }
    std::size_t Read(std::span<std::uint8_t> into, std::chrono::milliseconds timeout) override
    {
        return inner->Read(into, timeout);
    }
    void PurgeReceive() override { inner->PurgeReceive(); }
    bool SetBreak(bool on) override { return inner->SetBreak(on); }
    bool SetRts(bool on) override { return inner->SetRts(on); }

protected:
    PortBackend& Inner() const { return *inner; }

private:
    std::unique_ptr<PortBackend> inner;
};
