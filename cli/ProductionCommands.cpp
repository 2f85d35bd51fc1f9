#include "cli/ProductionCommands.h"

#include "cli/CliSession.h"
#include "common/TextFormat.h"
#include "production/MachineHistory.h"
#include "production/ProductionDatabase.h"
#include "production/SerialNumbers.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QSysInfo>

#include <memory>

namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

ExitCode AddPool(CliSession& session, SerialNumbers& numbers, const std::string& name)
{
    const CliOptions& options = session.options;
    for (const auto& [given, option] : {std::pair{options.first.has_value(), "--first"},
                                        std::pair{options.last.has_value(), "--last"},
                                        std::pair{options.digits.has_value(), "--digits"}}) {
        if (!given)
            return session.UsageError(std::string("serials add needs ") + option);
    }
    const SerialPool pool{.name = name,
                          .prefix = options.prefix.value_or(""),
                          .first = *options.first,
                          .last = *options.last,
                          .digits = int(std::min(*options.digits, 99u))};
    numbers.AddPool(pool, StationName(session));
    session.SayUtf8(FormatText("Pool %s added: %s .. %s, %llu numbers", name.c_str(),
                               SerialText(pool, pool.first).c_str(), SerialText(pool, pool.last).c_str(),
                               static_cast<unsigned long long>(pool.last - pool.first) + 1));
    return ExitCode::Done;
}

QJsonObject PoolJson(const PoolStatus& status)
{
    QJsonArray undecided;
    for (const UndecidedSerial& serial : status.undecided) {
        undecided.append(QJsonObject{{"serial", Text(serial.serial)},
                                     {"state", QLatin1String(SerialStateName(serial.state))},
                                     {"station", Text(serial.station)},
                                     {"port", Text(serial.port)},
                                     {"allocatedAt", Text(serial.allocatedAt)}});
    }
    const SerialPool& pool = status.pool;
    return QJsonObject{
        {"name", Text(pool.name)},
        {"prefix", Text(pool.prefix)},
        {"first", qint64(pool.first)},
        {"last", qint64(pool.last)},
        {"digits", pool.digits},
        {"firstSerial", Text(SerialText(pool, pool.first))},
        {"lastSerial", Text(SerialText(pool, pool.last))},
        {"next", status.next ? QJsonValue(Text(*status.next)) : QJsonValue()},
        {"left", qint64(status.left)},
        {"allocated", qint64(status.allocated)},
        {"written", qint64(status.written)},
        {"void", qint64(status.voided)},
        {"inDoubt", qint64(status.inDoubt)},
        {"undecided", undecided},
    };
}

ExitCode ShowPools(CliSession& session, SerialNumbers& numbers, const std::optional<std::string>& name)
{
    const std::vector<PoolStatus> statuses = numbers.Status(name);
    QJsonArray pools;
    for (const PoolStatus& status : statuses) {
        const SerialPool& pool = status.pool;
        pools.append(PoolJson(status));
        session.SayUtf8("Pool " + pool.name + ": " + SerialText(pool, pool.first) + " .. " + SerialText(pool, pool.last)
                        + (status.next ? FormatText(", next %s (%llu left)", status.next->c_str(),
                                                    static_cast<unsigned long long>(status.left))
                                       : std::string(", used up")));
        session.SayUtf8(FormatText("  allocated %llu, written %llu, void %llu, in doubt %llu",
                                   static_cast<unsigned long long>(status.allocated),
                                   static_cast<unsigned long long>(status.written),
                                   static_cast<unsigned long long>(status.voided),
                                   static_cast<unsigned long long>(status.inDoubt)));
        for (const UndecidedSerial& serial : status.undecided) {
            session.SayUtf8("  " + serial.serial + "\t" + SerialStateName(serial.state) + "\t" + serial.station + "\t"
                            + serial.port + "\t" + serial.allocatedAt);
        }
    }
    if (statuses.empty())
        session.SayUtf8("No serial number pool");
    session.report.Set("pools", pools);
    if (session.options.json)
        session.report.SetResult(statuses.empty() ? "No serial number pool" : "Done");
    return ExitCode::Done;
}

// One line of the plain history: when, where, which machine, how it ended.
std::string HistoryLine(const MachineRecord& record)
{
    const std::string serial = !record.serial.empty() ? record.serial : record.serialBefore;
    const std::string name = !record.name.empty() ? record.name : record.nameBefore;
    std::string line;
    for (const std::string& field :
         {record.startedAt.toString(Qt::ISODateWithMs).toStdString(), record.station, record.port, serial, name,
          record.result, std::to_string(record.exitCode)})
        line += (line.empty() ? "" : "\t") + (field.empty() ? std::string("-") : field);
    return line;
}

}  // namespace

std::string StationName(const CliSession& session)
{
    if (session.options.station)
        return *session.options.station;
    const std::string host = QSysInfo::machineHostName().toStdString();
    return host.empty() ? "station" : host;
}

std::unique_ptr<ProductionDatabase> OpenDatabase(CliSession& session, ExitCode& refusal)
{
    DatabaseAddress address = DefaultDatabaseAddress();
    if (session.options.database) {
        std::string error;
        const std::optional<DatabaseAddress> given = ParseDatabaseAddress(*session.options.database, error);
        if (!given) {
            refusal = session.UsageError(error);
            return nullptr;
        }
        address = *given;
    }
    try {
        return std::make_unique<ProductionDatabase>(address);
    } catch (const DatabaseFailure& failure) {
        session.Complain(failure.what());
        refusal = ExitCode::DatabaseUnavailable;
        return nullptr;
    }
}

ExitCode SerialsCommand(CliSession& session, const CliArguments& arguments)
{
    const std::string& what = arguments[0];
    if (what != "add" && what != "status")
        return session.UsageError("unknown serials command '" + what + "' (add or status)");
    if (what == "add" && arguments.size() != 2)
        return session.UsageError("serials add needs the pool's NAME");
    ExitCode refusal = ExitCode::Done;
    const std::unique_ptr<ProductionDatabase> database = OpenDatabase(session, refusal);
    if (!database)
        return refusal;
    SerialNumbers numbers(*database);
    try {
        if (what == "add")
            return AddPool(session, numbers, arguments[1]);
        return ShowPools(session, numbers, arguments.size() > 1 ? std::optional(arguments[1]) : std::nullopt);
    } catch (const PoolRefused& refused) {
        session.Complain(refused.what());
        return ExitCode::Usage;
    } catch (const DatabaseFailure& failure) {
        session.Complain(failure.what());
        return ExitCode::DatabaseUnavailable;
    }
}

ExitCode HistoryCommand(CliSession& session, const CliArguments&)
{
    const CliOptions& options = session.options;
    if (options.csv && options.json)
        return session.UsageError("history prints CSV or JSON, not both");
    ExitCode refusal = ExitCode::Done;
    const std::unique_ptr<ProductionDatabase> database = OpenDatabase(session, refusal);
    if (!database)
        return refusal;
    HistoryFilter filter{.serial = options.serial, .station = options.station, .since = std::nullopt};
    if (options.since)
        filter.since = ParseSince(*options.since);
    std::vector<MachineRecord> records;
    try {
        records = ReadHistory(*database, filter);
    } catch (const DatabaseFailure& failure) {
        session.Complain(failure.what());
        return ExitCode::DatabaseUnavailable;
    }
    if (options.json) {
        QJsonArray machines;
        for (const MachineRecord& record : records)
            machines.append(MachineRecordJson(record));
        session.report.Set("machines", machines);
        session.report.SetResult(records.empty() ? "No machine recorded" : "Done");
        return ExitCode::Done;
    }
    if (options.csv) {
        session.SayUtf8(HistoryCsvHeader());
        for (const MachineRecord& record : records)
            session.SayUtf8(HistoryCsvLine(record));
        return ExitCode::Done;
    }
    if (records.empty())
        session.SayUtf8("No machine recorded");
    for (const MachineRecord& record : records)
        session.SayUtf8(HistoryLine(record));
    return ExitCode::Done;
}
