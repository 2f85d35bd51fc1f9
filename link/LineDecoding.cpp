#include "link/LineDecoding.h"

#include "common/ByteOrder.h"
#include "common/TextFormat.h"
#include "link/DeviceLink.h"

#include <algorithm>

namespace {

bool IsFrame(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 3 && bytes[0] == Frame::kStart && bytes[1] + 3u == bytes.size()
        && Frame::Checksum(bytes[1], bytes.subspan(2, bytes[1])) == bytes.back();
}

const char* SpaceName(std::uint8_t space)
{
    return space == 0 ? "X" : space == 1 ? "Y" : space == 2 ? "P" : "?";
}

// Fields of a request's parameters: class, sub-length, opcode, then these.
void DecodeParameters(DecodedRequest& request, std::span<const std::uint8_t> p)
{
    const bool memory = request.classByte == Command::kMemoryClass;
    const bool addressed = memory || request.opcode == Command::kProgramFlashBlock
        || request.opcode == Command::kEraseFlash || request.opcode == Command::kReadFlashBlock;
    if (addressed && p.size() >= 4) {
        request.address = ByteOrder::Be32(p.data());
        request.text += FormatText(" 0x%06X", unsigned(*request.address));
    }
    if (memory && (request.opcode == Command::kReadMemory || request.opcode == Command::kWriteMemory) && p.size() >= 6) {
        request.count = p[5];
        request.text += FormatText(" %s count %u", SpaceName(p[4]), unsigned(p[5]));
    } else if (!memory && (request.opcode == Command::kProgramFlashBlock || request.opcode == Command::kReadFlashBlock)
               && p.size() >= 5) {
        request.count = p[4];
        request.text += FormatText(" count %u", unsigned(p[4]));
    } else if (!memory && request.opcode == Command::kPowerControl && !p.empty()) {
        request.mode = p[0];
        request.text += FormatText(" mode %u", unsigned(p[0]));
    }
}

std::string Hex(std::span<const std::uint8_t> bytes)
{
    std::string hex;
    for (const auto byte : bytes)
        hex += FormatText(hex.empty() ? "%02X" : " %02X", unsigned(byte));
    return hex;
}

bool AnsweredByAck(const DecodedRequest& request)
{
    if (request.shape == DecodedRequest::Shape::WakeUp)
        return true;
    if (request.classByte == Command::kMemoryClass)
        return request.opcode != Command::kReadMemory;
    return request.opcode == Command::kEraseFlash || request.opcode == Command::kPowerControl;
}

}  // namespace

DecodedRequest DecodeRequest(std::span<const std::uint8_t> bytes)
{
    DecodedRequest request;
    if (IsFrame(bytes) && bytes.size() >= 6) {
        request.shape = DecodedRequest::Shape::Frame;
        request.classByte = bytes[2];
        request.opcode = bytes[4];
        const char* name = Command::Name(request.classByte, request.opcode);
        request.command =
            name ? name : FormatText("unknown %02X/%02X", unsigned(request.classByte), unsigned(request.opcode));
        request.text = request.command;
        DecodeParameters(request, bytes.subspan(5, bytes.size() - 6));
    } else if (bytes.size() == 3 && bytes[2] == Frame::kWakeEnd) {
        request.shape = DecodedRequest::Shape::WakeUp;
        request.command = "wake-up";
        request.text = FormatText("wake-up %02X%02X", unsigned(bytes[0]), unsigned(bytes[1]));
    } else {
        request.command = "raw";
        request.text = FormatText("raw %zu bytes", bytes.size());
    }
    return request;
}

DecodedReply DecodeReply(const DecodedRequest& request, std::span<const std::uint8_t> bytes)
{
    DecodedReply reply;
    reply.answered = !bytes.empty();
    if (bytes.empty()) {
        reply.failure = request.shape != DecodedRequest::Shape::Raw;
        reply.text = request.shape == DecodedRequest::Shape::Raw ? "" : "no answer";
        return reply;
    }
    if (request.shape != DecodedRequest::Shape::Frame || AnsweredByAck(request)) {
        const bool ack = bytes.size() == 1 && bytes[0] == Frame::kAck;
        reply.failure = !ack;
        reply.text = ack ? "ack" : "unexpected " + Hex(bytes);
        return reply;
    }
    const bool framed = IsFrame(bytes) && bytes.size() >= 6 && bytes[2] == request.classByte && bytes[4] == request.opcode;
    if (!framed) {
        reply.failure = true;
        reply.text = (bytes.size() >= 3 && bytes[0] == Frame::kStart && bytes[1] + 3u == bytes.size() ? "bad checksum "
                                                                                                      : "malformed ")
            + Hex(bytes);
        return reply;
    }
    const auto data = bytes.subspan(5, bytes.size() - 6);
    if (request.opcode == Command::kReadFlashStatus && data.size() == 1) {
        reply.status = data[0];
        reply.failure = data[0] > 1;  // 1: busy, asked again
    } else if (request.opcode == Command::kProgramFlashBlock && data.size() == 6) {
        reply.status = data[5];
        reply.failure = data[5] != 0;
    }
    if (reply.status)
        reply.text = FormatText("status 0x%02X", unsigned(*reply.status));
    else if (request.opcode == Command::kReadIdentity && data.size() == 8)
        reply.text = FormatText("identity %08X %08X", unsigned(ByteOrder::Be32(data.data())),
                                unsigned(ByteOrder::Be32(data.data() + 4)));
    else
        reply.text = FormatText("%zu bytes: ", data.size()) + Hex(data.first(std::min<std::size_t>(data.size(), 16)))
            + (data.size() > 16 ? " ..." : "");
    return reply;
}
