// mirelle-cli decode FILE: a recording of the line (--record) as a readable
// session, one line an exchange, and a summary. The recording is read an
// event at a time and each line printed as it is complete, so that what the
// command holds does not grow with the recording.
#include "cli/CliSession.h"
#include "cli/DecodeCommand.h"
#include "common/TextFormat.h"
#include "link/SessionDecoding.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

namespace {

QJsonObject LineJson(const SessionLine& line)
{
    QJsonObject object{{"time", SessionSeconds(line.micros).c_str()}, {"event", line.event.c_str()},
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
    SessionDecoder built([&](const SessionLine& line) {
        if (json)
            session.StreamJson(session.report.StreamItem(LineJson(line)));
        else
            session.SayUtf8(FormatText("%12s  ", SessionSeconds(line.micros).c_str()) + line.text);
    });
    for (LineEvent event; opened && reader.Next(event);)
        built.Take(event);
    built.End(reader.CutOff());
    const SessionSummary& summary = built.Summary();
    const bool cut = reader.CutOff();
    const std::string& error = reader.Error();
    const ExitCode code = error.empty() ? ExitCode::Done : ExitCode::FileRefused;

    if (json) {
        if (!opened)
            session.report.Set("exchanges", QJsonArray());
        const QJsonObject summaryJson{
            {"exchanges", qint64(summary.exchanges)},
            {"bytesSent", qint64(summary.bytesSent)},
            {"bytesReceived", qint64(summary.bytesReceived)},
            {"seconds", SessionSeconds(summary.micros).c_str()},
            {"firstFailure",
             summary.firstFailure ? QJsonValue(QString::fromStdString(*summary.firstFailure)) : QJsonValue()},
            {"cutShort", reader.CutShort()},
            {"cutAfter", cut ? QJsonValue(qint64(reader.Events())) : QJsonValue()}};
        session.report.Set("summary", summaryJson);
        session.report.SetResult(error.empty() ? "Done" : error);
    } else {
        if (cut)
            session.SayUtf8("recording cut after event " + std::to_string(reader.Events()));
        session.SayUtf8(FormatText("%zu exchanges, %zu bytes sent, %zu bytes received, %s s on the line",
                                   summary.exchanges, summary.bytesSent, summary.bytesReceived,
                                   SessionSeconds(summary.micros).c_str()));
        session.SayUtf8("first failure: " + summary.firstFailure.value_or("none"));
    }
    if (reader.CutShort())
        session.Complain(path + ": the recording ends in the middle of a line; read up to its last whole event");
    if (!error.empty())
        session.Complain(path + ": " + error);
    return code;
}
