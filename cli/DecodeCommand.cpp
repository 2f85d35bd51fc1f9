// mirelle-cli decode FILE: a recording of the line (--record) as a readable
// session, one line an exchange, and a summary. The recording is read an
// event at a time and each line printed as it is complete, so that what the
// command holds does not grow with the recording.
#include "cli/CliSession.h"
#include "cli/CommandHandlers.h"
#include "common/ControlText.h"
#include "common/TextFormat.h"
#include "link/LineDecoding.h"
#include "link/Recording.h"

#include <QJsonArray>
#include <QJsonObject>

#include <functional>
#include <optional>

namespace {

// One line of the session: an exchange (a request and what was read after
// it), or an event of its own (open, close, break, purge, RTS).
struct SessionLine {
    std::int64_t micros = 0;
    std::string event;  // "exchange", "open", "close", "break", "purge", "rts"
    std::string text;   // UTF-8, its control characters escaped
    std::optional<DecodedRequest> request;
    std::vector<std::uint8_t> sent;
    std::vector<std::uint8_t> received;
    DecodedReply reply;
};

struct Summary {
    std::size_t exchanges = 0;
    std::size_t bytesSent = 0;
    std::size_t bytesReceived = 0;
    std::int64_t firstMicros = 0;
    std::int64_t micros = 0;
    std::optional<std::string> firstFailure;  // its time and text
};

std::string Seconds(std::int64_t micros)
{
    return FormatText("%lld.%06lld", static_cast<long long>(micros / 1000000), static_cast<long long>(micros % 1000000));
}

// Turns the events into session lines, each handed on as soon as it is
// complete: an exchange when the next event that is not a read comes.
class SessionBuilder {
public:
    explicit SessionBuilder(std::function<void(const SessionLine&)> handOn) : handOn(std::move(handOn)) {}

    void Take(const LineEvent& event)
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

    // The exchange still open, at the end of the recording. `cut`: the
    // recording stops there, so a reply that is missing or short was not
    // recorded, which says nothing of the machine.
    void End(bool cut)
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
            summary.firstFailure = Seconds(line.micros) + " " + line.text;
        handOn(line);
        open.reset();
    }

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
    void Add(const LineEvent& event, const char* kind, std::string text) { handOn(Line(event, kind, std::move(text))); }

    std::function<void(const SessionLine&)> handOn;
    std::optional<SessionLine> open;
    bool started = false;
};

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
    const bool json = session.options.json;
    RecordingReader reader;
    const bool opened = reader.Open(path);
    if (json && opened)
        session.StreamJson(session.report.StreamArray("exchanges"));
    SessionBuilder built([&](const SessionLine& line) {
        if (json)
            session.StreamJson(session.report.StreamItem(LineJson(line)));
        else
            session.SayUtf8(FormatText("%12s  ", Seconds(line.micros).c_str()) + line.text);
    });
    for (LineEvent event; opened && reader.Next(event);)
        built.Take(event);
    built.End(reader.CutOff());
    const Summary& summary = built.summary;
    const std::optional<std::uint64_t> cutAfter =
        reader.CutOff() ? std::optional<std::uint64_t>(reader.Events()) : std::nullopt;
    const std::string& error = reader.Error();
    const ExitCode code = error.empty() ? ExitCode::Done : ExitCode::FileRefused;

    if (json) {
        if (!opened)
            session.report.Set("exchanges", QJsonArray());
        const QJsonObject summaryJson{
            {"exchanges", qint64(summary.exchanges)},
            {"bytesSent", qint64(summary.bytesSent)},
            {"bytesReceived", qint64(summary.bytesReceived)},
            {"seconds", Seconds(summary.micros).c_str()},
            {"firstFailure",
             summary.firstFailure ? QJsonValue(QString::fromStdString(*summary.firstFailure)) : QJsonValue()},
            {"cutShort", reader.CutShort()},
            {"cutAfter", cutAfter ? QJsonValue(qint64(*cutAfter)) : QJsonValue()}};
        session.report.Set("summary", summaryJson);
        session.report.SetResult(error.empty() ? "Done" : error);
    } else {
        if (cutAfter)
            session.SayUtf8("recording cut after event " + std::to_string(*cutAfter));
        session.SayUtf8(FormatText("%zu exchanges, %zu bytes sent, %zu bytes received, %s s on the line",
                                   summary.exchanges, summary.bytesSent, summary.bytesReceived,
                                   Seconds(summary.micros).c_str()));
        session.SayUtf8("first failure: " + summary.firstFailure.value_or("none"));
    }
    if (reader.CutShort())
        session.Complain(path + ": the recording ends in the middle of a line; read up to its last whole event");
    if (!error.empty())
        session.Complain(path + ": " + error);
    return code;
}
