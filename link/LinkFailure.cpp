#include "link/LinkFailure.h"

#include "common/TextFormat.h"

namespace {

constexpr const char* kCheckLine = ": check the cable, the adapter and the line's speed";

std::string Damaged(const LinkFailure& failure, const std::string& what)
{
    return "the answer to " + failure.exchange + " " + what + kCheckLine;
}

std::string Said(const LinkFailure& failure)
{
    using Kind = LinkFailure::Kind;
    switch (failure.kind) {
    case Kind::None: return {};
    case Kind::NotOpen: return "no port was open for " + failure.exchange + ": nothing was sent";
    case Kind::PortLost:
        return "the port went away during " + failure.exchange
            + (failure.portReason.empty() ? std::string() : " (" + failure.portReason + ")")
            + ": check that the adapter is plugged in";
    case Kind::WriteFailed:
        return "the port did not take " + failure.exchange
            + (failure.portReason.empty() ? std::string() : " (" + failure.portReason + ")")
            + ": check the adapter";
    case Kind::NoByte:
        return "the machine sent nothing in answer to " + failure.exchange
            + ": check that it is switched on, its cable and the selected port";
    case Kind::Short:
        return "the answer to " + failure.exchange + " stopped after " + std::to_string(failure.got) + " of "
            + std::to_string(failure.expected) + " bytes" + kCheckLine;
    case Kind::BadAck: return Damaged(failure, FormatText("was the byte 0x%02X instead of an acknowledgement", failure.byte));
    case Kind::BadStart: return Damaged(failure, "had a bad start byte");
    case Kind::BadLength: return Damaged(failure, "had a bad length");
    case Kind::BadClass: return Damaged(failure, "had a bad class byte");
    case Kind::BadOpcode: return Damaged(failure, "had a bad opcode");
    case Kind::BadChecksum: return Damaged(failure, "had a bad checksum");
    case Kind::BadEcho: return Damaged(failure, "named another address or count than the request");
    }
    return {};
}

}  // namespace

std::string LinkFailure::Text() const
{
    std::string text = Said(*this);
    if (!text.empty() && lateBytes)
        text += "; an earlier answer came late or with surplus bytes";
    return text;
}
