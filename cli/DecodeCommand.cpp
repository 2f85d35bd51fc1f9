// mirelle-cli decode FILE: a recording of the line (--record) as a readable
// session, one line an exchange, and a summary.
#include "cli/CliSession.h"
#include "cli/CommandHandlers.h"
#include "common/TextFormat.h"
#include "link/LineDecoding.h"
#include "link/Recording.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace {

// One line of the session: an exchange (a request and what was read after
// it), or an event of its own (open, close, break, purge, RTS).
struct SessionLine {
    std::int64_t micros = 0;
    std::string event;  // "exchange", "open", "close", "break", "purge", "rts"
    std::string text;
    std::optional<DecodedRequest> request;
    std::vector<std::uint8_t> sent;
    std::vector<std::uint8_t> received;
    DecodedReply reply;
};

struct Summary {
    std::size_t exchanges = 0;
    std::size_t bytesSent = 0;
    std::size_t bytesReceived = 0;
    std::int64_t micros = 0;
    std::optional<std::size_t> firstFailure;  // index into the lines
};

class SessionBuilder {
public:
    void Take(const LineEvent& event)
    {
        if (event.kind == LineEvent::Kind::Read) {
            summary.bytesReceived += event.bytes.size();
            if (open)
                open->received.insert(open->received.end(), event.bytes.begin(), event.bytes.end());
            return;
        }
        End();
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
            Add(event, "open", FormatText("open %s %s %d %s%s", event.name.empty() ? "-" : event.name.c_str(),
                                          event.device.c_str(), event.settings.baudRate,
                                          event.settings.parity == Parity::Odd ? "odd" : event.settings.parity == Parity::Even ? "even" : "none",
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
                Add(event, "purge", FormatText("purge discarded %zu bytes: ", event.bytes.size()) + HexBytes(event.bytes));
            return;
        case LineEvent::Kind::Read: return;
        }
    }

    void End()
    {
        if (!open)
            return;
        SessionLine& line = *open;
        line.reply = DecodeReply(*line.request, line.received);
        line.text = line.request->text + line.text + (line.reply.text.empty() ? "" : " -> " + line.reply.text);
        ++summary.exchanges;
        if (line.reply.failure && !summary.firstFailure)
            summary.firstFailure = lines.size();
        lines.push_back(std::move(line));
        open.reset();
    }

    std::vector<SessionLine> lines;
    Summary summary;

private:
    static SessionLine Line(const LineEvent& event, const char* kind, std::string text)
    {
        SessionLine line;
        line.micros = event.micros;
        line.event = kind;
        line.text = std::move(text);
        return line;
    }
    void Add(const LineEvent& event, const char* kind, std::string text)
    {
        lines.push_back(Line(event, kind, std::move(text)));
    }

    std::optional<SessionLine> open;
};

std::string Seconds(std::int64_t micros)
{
    return FormatText("%lld.%06lld", static_cast<long long>(micros / 1000000), static_cast<long long>(micros % 1000000));
}

QJsonObject LineJson(const SessionLine& line)
{
    QJsonObject object{{"time", Seconds(line.micros).c_str()}, {"event", line.event.c_str()},
                       {"text", QString::fromStdString(line.text)}};
    if (!line.request)
        return object;
    const DecodedRequest& request = *line.request;
    object["command"] = QString::fromStdString(request.command);
    object["sent"] = QString::fromStdString(HexBytes(line.sent));
    object["received"] = QString::fromStdString(HexBytes(line.received));
    if (request.address)
        object["address"] = qint64(*request.address);
    if (request.count)
        object["count"] = int(*request.count);
    if (request.mode)
        object["mode"] = int(*request.mode);
    object["reply"] = QString::fromStdString(line.reply.text);
    object["answered"] = line.reply.answered;
    object["failure"] = line.reply.failure;
    if (line.reply.status)
        object["status"] = int(*line.reply.status);
    return object;
}

}  // namespace

ExitCode DecodeCommand(CliSession& session, const CliArguments& arguments)
{
    const std::string& path = arguments[0];
    const Recording recording = ReadRecordingFile(path);
    SessionBuilder built;
    for (const LineEvent& event : recording.events)
        built.Take(event);
    built.End();
    Summary& summary = built.summary;
    if (!recording.events.empty())
        summary.micros = recording.events.back().micros - recording.events.front().micros;
    const std::string failure = summary.firstFailure
        ? Seconds(built.lines[*summary.firstFailure].micros) + " " + built.lines[*summary.firstFailure].text
        : "none";
    const ExitCode code = recording.error.empty() ? ExitCode::Done : ExitCode::FileRefused;

    if (session.options.json) {
        QJsonArray lines;
        for (const SessionLine& line : built.lines)
            lines.append(LineJson(line));
        const QJsonObject summaryJson{{"exchanges", qint64(summary.exchanges)},
                                      {"bytesSent", qint64(summary.bytesSent)},
                                      {"bytesReceived", qint64(summary.bytesReceived)},
                                      {"seconds", Seconds(summary.micros).c_str()},
                                      {"firstFailure", summary.firstFailure ? QJsonValue(QString::fromStdString(failure))
                                                                            : QJsonValue()},
                                      {"cutShort", recording.cutShort}};
        session.report.Set("exchanges", lines);
        session.report.Set("summary", summaryJson);
        session.report.SetResult(recording.error.empty() ? "Done" : recording.error);
    } else {
        for (const SessionLine& line : built.lines)
            session.SayUtf8(FormatText("%12s  ", Seconds(line.micros).c_str()) + line.text);
        session.SayUtf8(FormatText("%zu exchanges, %zu bytes sent, %zu bytes received, %s s on the line",
                                   summary.exchanges, summary.bytesSent, summary.bytesReceived,
                                   Seconds(summary.micros).c_str()));
        session.SayUtf8("first failure: " + failure);
    }
    if (recording.cutShort)
        session.Complain(path + ": the recording ends in the middle of a line; read up to its last whole event");
    if (!recording.error.empty())
        session.Complain(path + ": " + recording.error);
    return code;
}
