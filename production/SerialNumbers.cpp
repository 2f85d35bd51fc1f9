#include "production/SerialNumbers.h"

#include "production/ProductionDatabase.h"

#include <array>
#include <map>

namespace {

constexpr std::array<const char*, 4> kStateNames{"allocated", "written", "void", "in doubt"};

std::optional<SerialState> StateNamed(const QString& name)
{
    for (std::size_t i = 0; i < kStateNames.size(); ++i) {
        if (name == QLatin1String(kStateNames[i]))
            return SerialState(i);
    }
    return std::nullopt;
}

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

SerialPool PoolOfRow(const QSqlQuery& row)
{
    return SerialPool{.name = row.value(0).toString().toStdString(),
                      .prefix = row.value(1).toString().toStdString(),
                      .first = std::uint32_t(row.value(2).toLongLong()),
                      .last = std::uint32_t(row.value(3).toLongLong()),
                      .digits = row.value(4).toInt()};
}

const QString kPoolColumns = QStringLiteral("name, prefix, first_number, last_number, digits, next_number");

}  // namespace

const char* SerialStateName(SerialState state)
{
    return kStateNames[std::size_t(state)];
}

void SerialNumbers::AddPool(const SerialPool& pool, const std::string& station)
{
    if (const auto refusal = PoolRefusal(pool))
        throw PoolRefused(*refusal);
    const char* what = "adding a serial number pool";
    WriteTransaction transaction(database, what);
    // Two stations adding pools at once see each other's: one waits.
    if (database.IsPostgres())
        database.Run(what, QStringLiteral("LOCK TABLE serial_pools IN SHARE ROW EXCLUSIVE MODE"));
    QSqlQuery pools = database.Run(what, QStringLiteral("SELECT ") + kPoolColumns + QStringLiteral(" FROM serial_pools"));
    while (pools.next()) {
        const SerialPool other = PoolOfRow(pools);
        if (other.name == pool.name)
            throw PoolRefused("there is a pool named " + pool.name + " already");
        if (PoolsOverlap(pool, other)) {
            throw PoolRefused("pool " + pool.name + " could give serial numbers that pool " + other.name
                              + " gives (" + SerialText(other, other.first) + " .. " + SerialText(other, other.last)
                              + "): a serial number is given once, from one pool");
        }
    }
    pools.finish();
    database.Run(what,
                 QStringLiteral("INSERT INTO serial_pools (") + kPoolColumns
                     + QStringLiteral(", created_at, created_by) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                 {Text(pool.name), Text(pool.prefix), qint64(pool.first), qint64(pool.last), pool.digits,
                  qint64(pool.first), TimestampNow(), Text(station)});
    transaction.Commit();
}

std::optional<SerialPool> SerialNumbers::FindPool(const std::string& name)
{
    QSqlQuery row = database.Run("reading a serial number pool",
                                 QStringLiteral("SELECT ") + kPoolColumns
                                     + QStringLiteral(" FROM serial_pools WHERE name = ?"),
                                 {Text(name)});
    if (!row.next())
        return std::nullopt;
    return PoolOfRow(row);
}

std::vector<PoolStatus> SerialNumbers::Status(const std::optional<std::string>& poolName)
{
    const char* what = "reading the serial number pools";
    std::vector<PoolStatus> statuses;
    std::map<std::string, std::size_t> byName;
    {
        QSqlQuery pools = database.Run(what, QStringLiteral("SELECT ") + kPoolColumns
                                                 + QStringLiteral(" FROM serial_pools ORDER BY name"));
        while (pools.next()) {
            PoolStatus status;
            status.pool = PoolOfRow(pools);
            const qint64 next = pools.value(5).toLongLong();
            if (next <= qint64(status.pool.last)) {
                status.next = SerialText(status.pool, std::uint32_t(next));
                status.left = std::uint64_t(qint64(status.pool.last) - next + 1);
            }
            if (poolName && status.pool.name != *poolName)
                continue;
            byName[status.pool.name] = statuses.size();
            statuses.push_back(std::move(status));
        }
    }
    if (poolName && statuses.empty())
        throw PoolRefused("there is no serial number pool named " + *poolName);
    {
        QSqlQuery counts = database.Run(
            what, QStringLiteral("SELECT pool, state, COUNT(*) FROM serial_numbers GROUP BY pool, state"));
        while (counts.next()) {
            const auto found = byName.find(counts.value(0).toString().toStdString());
            const auto state = StateNamed(counts.value(1).toString());
            if (found == byName.end() || !state)
                continue;
            PoolStatus& status = statuses[found->second];
            const auto count = std::uint64_t(counts.value(2).toLongLong());
            switch (*state) {
            case SerialState::Allocated: status.allocated = count; break;
            case SerialState::Written: status.written = count; break;
            case SerialState::Void: status.voided = count; break;
            case SerialState::InDoubt: status.inDoubt = count; break;
            }
        }
    }
    QSqlQuery undecided = database.Run(
        what, QStringLiteral("SELECT pool, serial, state, station, port, allocated_at FROM serial_numbers "
                             "WHERE state IN ('allocated', 'in doubt') ORDER BY pool, number"));
    while (undecided.next()) {
        const auto found = byName.find(undecided.value(0).toString().toStdString());
        if (found == byName.end())
            continue;
        statuses[found->second].undecided.push_back(
            UndecidedSerial{.serial = undecided.value(1).toString().toStdString(),
                            .state = StateNamed(undecided.value(2).toString()).value_or(SerialState::InDoubt),
                            .station = undecided.value(3).toString().toStdString(),
                            .port = undecided.value(4).toString().toStdString(),
                            .allocatedAt = undecided.value(5).toString().toStdString()});
    }
    return statuses;
}

TakenSerial SerialNumbers::Take(const std::string& poolName, const std::string& station, const std::string& port)
{
    const char* what = "taking a serial number";
    WriteTransaction transaction(database, what);
    // SQLite holds the write lock since BEGIN IMMEDIATE; PostgreSQL locks the
    // pool's row, so that a second station waits here for the first's commit.
    QSqlQuery row = database.Run(what,
                                 QStringLiteral("SELECT ") + kPoolColumns + QStringLiteral(" FROM serial_pools WHERE name = ?")
                                     + (database.IsPostgres() ? QStringLiteral(" FOR UPDATE") : QString()),
                                 {Text(poolName)});
    if (!row.next())
        throw PoolRefused("there is no serial number pool named " + poolName);
    const SerialPool pool = PoolOfRow(row);
    const qint64 next = row.value(5).toLongLong();
    row.finish();
    if (next > qint64(pool.last)) {
        throw PoolRefused("pool " + pool.name + " is used up: every number up to " + SerialText(pool, pool.last)
                          + " was given out");
    }
    const QString now = TimestampNow();
    database.Run(what,
                 QStringLiteral("UPDATE serial_numbers SET state = 'in doubt', decided_at = ? "
                                "WHERE station = ? AND port = ? AND state = 'allocated'"),
                 {now, Text(station), Text(port)});
    TakenSerial taken{.serial = SerialText(pool, std::uint32_t(next)), .pool = pool.name, .number = std::uint32_t(next)};
    database.Run(what,
                 QStringLiteral("INSERT INTO serial_numbers (serial, pool, number, state, station, port, allocated_at) "
                                "VALUES (?, ?, ?, 'allocated', ?, ?, ?)"),
                 {Text(taken.serial), Text(pool.name), next, Text(station), Text(port), now});
    database.Run(what, QStringLiteral("UPDATE serial_pools SET next_number = ? WHERE name = ?"),
                 {next + 1, Text(pool.name)});
    transaction.Commit();
    return taken;
}

bool SerialNumbers::RecordOutcome(const std::string& serial, SerialOutcome outcome)
{
    const char* state = outcome == SerialOutcome::Written ? "written" : outcome == SerialOutcome::Void ? "void"
                                                                                                      : "in doubt";
    const char* what = "recording what became of a serial number";
    WriteTransaction transaction(database, what);
    const QSqlQuery update = database.Run(
        what,
        QStringLiteral("UPDATE serial_numbers SET state = ?, decided_at = ? "
                       "WHERE serial = ? AND state IN ('allocated', 'in doubt')"),
        {QLatin1String(state), TimestampNow(), Text(serial)});
    const bool changed = update.numRowsAffected() > 0;
    transaction.Commit();
    return changed;
}

std::optional<SerialState> SerialNumbers::MarkMetOnMachine(const std::string& serial)
{
    const char* what = "marking a serial number met on a machine";
    WriteTransaction transaction(database, what);
    QSqlQuery row = database.Run(what,
                                 QStringLiteral("SELECT state FROM serial_numbers WHERE serial = ?")
                                     + (database.IsPostgres() ? QStringLiteral(" FOR UPDATE") : QString()),
                                 {Text(serial)});
    if (!row.next())
        return std::nullopt;
    const std::optional<SerialState> before = StateNamed(row.value(0).toString());
    row.finish();
    if (before != SerialState::Written) {
        database.Run(what, QStringLiteral("UPDATE serial_numbers SET state = 'written', decided_at = ? WHERE serial = ?"),
                     {TimestampNow(), Text(serial)});
    }
    transaction.Commit();
    return before;
}
