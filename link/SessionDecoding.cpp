#include "link/SessionDecoding.h"

#include "common/ControlText.h"
#include "common/TextFormat.h"

std::string SessionSeconds(std::int64_t micros)
{
    return FormatText("%lld.%06lld", static_cast<long long>(micros / 1000000), static_cast<long long>(micros % 1000000));
}

SessionDecoder::SessionDecoder(std::function<void(const SessionLine&)> handOn) : handOn(std::move(handOn)) {}

void SessionDecoder::Take(const LineEvent& event)
{
    if (!started) {
        summary.firstMicros = event.micros;
        started = true;
    }
    summary.micros = event.micros - summary.firstMicros;
    if (event.kind == LineEvent::Kind::Read) {
        summary.bytesReceived += event.bytes.size();
        if (open)
            open->received.insert(open->received.end(), event.bytes.begin(), event.bytes.end());
        return;
    }
    End(false);
    switch (event.kind) {
    case LineEvent::Kind::Write:
        summary.bytesSent += event.bytes.size();
        open = Line(event, "exchange", "");
        open->request = DecodeRequest(event.bytes);
        open->sent = event.bytes;
        if (!event.done)
            open->text = " (write failed)";
        return;
    case LineEvent::Kind::Open:
        Add(event, "open",
            FormatText("open %s %s %d %s%s", event.name.empty() ? "-" : EscapedUtf8(event.name).c_str(),
                       EscapedUtf8(event.device).c_str(), event.settings.baudRate,
                       event.settings.parity == Parity::Odd    ? "odd"
                       : event.settings.parity == Parity::Even ? "even"
                                                               : "none",
                       event.done ? "" : " failed"));
        return;
    case LineEvent::Kind::Close: Add(event, "close", "close"); return;
    case LineEvent::Kind::Break:
        if (event.on)
            Add(event, "break", event.done ? "break" : "break (failed)");
        return;
    case LineEvent::Kind::Rts: Add(event, "rts", event.on ? "RTS on" : "RTS off"); return;
    case LineEvent::Kind::Purge:
        summary.bytesReceived += event.bytes.size();
        if (!event.bytes.empty())
            Add(event, "purge",
                FormatText("purge discarded %zu bytes: ", event.bytes.size()) + HexBytes(event.bytes));
        return;
    case LineEvent::Kind::Read: return;
    }
}

void SessionDecoder::End(bool cut)
{
    if (!open)
        return;
    SessionLine& line = *open;
    line.reply = DecodeReply(*line.request, line.received);
    if (cut && line.reply.failure) {
        line.reply.failure = false;
        line.reply.text = "(the recording is cut here)";
    }
    line.text = line.request->text + line.text + (line.reply.text.empty() ? "" : " -> " + line.reply.text);
    ++summary.exchanges;
    if (line.reply.failure && !summary.firstFailure)
        summary.firstFailure = SessionSeconds(line.micros) + " " + line.text;
    handOn(line);
    open.reset();
}

SessionLine SessionDecoder::Line(const LineEvent& event, const char* kind, std::string text)
{
    SessionLine line;
    line.micros = event.micros;
    line.event = kind;
    line.text = std::move(text);
    return line;
}

void SessionDecoder::Add(const LineEvent& event, const char* kind, std::string text)
{
    handOn(Line(event, kind, std::move(text)));
}
