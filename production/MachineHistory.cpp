#include "production/MachineHistory.h"

#include "common/TextFormat.h"
#include "production/ProductionDatabase.h"
#include "production/Recipe.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QVariant>

namespace {

const QString kColumns = QStringLiteral(
    "station, port, started_at, ended_at, duration_ms, recipe, recipe_sha256, hard_ident, flash_ident, "
    "hardware_version, serial_before, name_before, steps, factory_file, factory_sha256, user_file, user_sha256, "
    "serial_pool, serial, name, versions_after, result, exit_code");

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

std::string Utf8(const QVariant& value)
{
    return value.toString().toStdString();
}

QString Timestamp(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QVariant NumberOrNull(const std::optional<std::uint32_t>& number)
{
    return number ? QVariant(qint64(*number)) : QVariant(QMetaType::fromType<qint64>());
}

std::optional<std::uint32_t> NumberOf(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return std::uint32_t(value.toLongLong());
}

QJsonValue JsonNumber(const std::optional<std::uint32_t>& number)
{
    return number ? QJsonValue(qint64(*number)) : QJsonValue();
}

QJsonValue JsonHex(const std::optional<std::uint32_t>& number, const char* format)
{
    return number ? QJsonValue(QString::fromStdString(FormatText(format, unsigned(*number)))) : QJsonValue();
}

QJsonArray StepsJson(const std::vector<MachineStep>& steps)
{
    QJsonArray array;
    for (const MachineStep& step : steps) {
        array.append(QJsonObject{{"name", Text(step.name)},
                                 {"result", Text(step.result)},
                                 {"exitCode", step.exitCode},
                                 {"durationMs", qint64(step.durationMs)}});
    }
    return array;
}

std::vector<MachineStep> StepsOf(const QJsonArray& array)
{
    std::vector<MachineStep> steps;
    for (const QJsonValue& value : array) {
        const QJsonObject step = value.toObject();
        steps.push_back(MachineStep{.name = step["name"].toString().toStdString(),
                                    .result = step["result"].toString().toStdString(),
                                    .exitCode = step["exitCode"].toInt(),
                                    .durationMs = step["durationMs"].toInteger()});
    }
    return steps;
}

QJsonArray VersionsJson(const std::vector<std::pair<std::string, std::string>>& rows)
{
    QJsonArray array;
    for (const auto& [caption, text] : rows)
        array.append(QJsonObject{{"caption", Text(caption)}, {"text", Text(text)}});
    return array;
}

std::vector<std::pair<std::string, std::string>> VersionsOf(const QJsonArray& array)
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const QJsonValue& value : array)
        rows.emplace_back(value["caption"].toString().toStdString(), value["text"].toString().toStdString());
    return rows;
}

QString Compact(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QJsonArray ArrayOf(const QVariant& text)
{
    return QJsonDocument::fromJson(text.toString().toUtf8()).array();
}

void InsertRecord(ProductionDatabase& database, const MachineRecord& record)
{
    database.Run("recording a machine",
                 QStringLiteral("INSERT INTO machines (") + kColumns
                     + QStringLiteral(") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 {Text(record.station), Text(record.port), Timestamp(record.startedAt), Timestamp(record.endedAt),
                  qint64(record.startedAt.msecsTo(record.endedAt)), Text(record.recipe), Text(record.recipeSha256),
                  NumberOrNull(record.hardIdent), NumberOrNull(record.flashIdent),
                  NumberOrNull(record.hardwareVersion), Text(record.serialBefore), Text(record.nameBefore),
                  Compact(StepsJson(record.steps)), Text(record.factoryImage.path), Text(record.factoryImage.sha256),
                  Text(record.userProgram.path), Text(record.userProgram.sha256), Text(record.serialPool),
                  Text(record.serial), Text(record.name), Compact(VersionsJson(record.versionsAfter)),
                  Text(record.result), record.exitCode});
}

// A new file unrecorded-TIME.json in `folder` holding `object`: its path,
// or empty with `why` set.
QString WriteUnrecorded(const QString& folder, const QDateTime& time, const QJsonObject& object, std::string& why)
{
    const QString stamp = time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Indented);
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString name = QStringLiteral("unrecorded-") + stamp
                             + (attempt > 1 ? QStringLiteral("-%1").arg(attempt) : QString()) + QStringLiteral(".json");
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists())
                continue;
            why = file.fileName().toStdString() + ": " + file.errorString().toStdString();
            return {};
        }
        if (file.write(json) != json.size() || !file.flush()) {
            why = file.fileName().toStdString() + ": " + file.errorString().toStdString();
            file.remove();
            return {};
        }
        return file.fileName();
    }
    why = "no free name for unrecorded-" + stamp.toStdString() + ".json in " + folder.toStdString();
    return {};
}

// A CSV field: quoted when it holds a comma, a quote or a line end.
QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
}

}  // namespace

MachineRecord StartRecord(const Recipe& recipe, const std::string& station, const std::string& port)
{
    MachineRecord record;
    record.station = station;
    record.port = port;
    record.startedAt = QDateTime::currentDateTimeUtc();
    record.recipe = recipe.path;
    record.recipeSha256 = recipe.sha256;
    record.factoryImage = {.path = recipe.factory.path, .sha256 = recipe.factory.sha256};
    record.userProgram = {.path = recipe.user.path, .sha256 = recipe.user.sha256};
    record.serialPool = recipe.serialPool;
    return record;
}

RecordOutcome RecordMachine(ProductionDatabase& database, const MachineRecord& record, const QString& unrecordedFolder)
{
    RecordOutcome outcome;
    try {
        InsertRecord(database, record);
        outcome.recorded = true;
        return outcome;
    } catch (const DatabaseFailure& failure) {
        outcome.why = failure.what();
    }
    QJsonObject object = MachineRecordJson(record);
    object.insert("database", database.Address().Display());
    object.insert("databaseFailure", Text(outcome.why));
    std::string fileWhy;
    outcome.unrecordedFile = WriteUnrecorded(unrecordedFolder, record.endedAt, object, fileWhy);
    if (outcome.unrecordedFile.isEmpty())
        outcome.why += "; and the record could not be kept in a file: " + fileWhy;
    return outcome;
}

std::optional<QDateTime> ParseSince(const std::string& text)
{
    const QString given = QString::fromStdString(text);
    if (const QDate date = QDate::fromString(given, Qt::ISODate); date.isValid())
        return date.startOfDay();
    const QDateTime time = QDateTime::fromString(given, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

std::vector<MachineRecord> ReadHistory(ProductionDatabase& database, const HistoryFilter& filter)
{
    QStringList conditions;
    QVariantList values;
    if (filter.serial) {
        conditions << QStringLiteral("(serial = ? OR serial_before = ?)");
        values << Text(*filter.serial) << Text(*filter.serial);
    }
    if (filter.station) {
        conditions << QStringLiteral("station = ?");
        values << Text(*filter.station);
    }
    if (filter.since) {
        conditions << QStringLiteral("started_at >= ?");
        values << Timestamp(*filter.since);
    }
    QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM machines");
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY started_at, id");

    std::vector<MachineRecord> records;
    QSqlQuery row = database.Run("reading the history", sql, values);
    while (row.next()) {
        MachineRecord record;
        record.station = Utf8(row.value(0));
        record.port = Utf8(row.value(1));
        record.startedAt = QDateTime::fromString(row.value(2).toString(), Qt::ISODateWithMs);
        record.endedAt = QDateTime::fromString(row.value(3).toString(), Qt::ISODateWithMs);
        record.recipe = Utf8(row.value(5));
        record.recipeSha256 = Utf8(row.value(6));
        record.hardIdent = NumberOf(row.value(7));
        record.flashIdent = NumberOf(row.value(8));
        record.hardwareVersion = NumberOf(row.value(9));
        record.serialBefore = Utf8(row.value(10));
        record.nameBefore = Utf8(row.value(11));
        record.steps = StepsOf(ArrayOf(row.value(12)));
        record.factoryImage = {.path = Utf8(row.value(13)), .sha256 = Utf8(row.value(14))};
        record.userProgram = {.path = Utf8(row.value(15)), .sha256 = Utf8(row.value(16))};
        record.serialPool = Utf8(row.value(17));
        record.serial = Utf8(row.value(18));
        record.name = Utf8(row.value(19));
        record.versionsAfter = VersionsOf(ArrayOf(row.value(20)));
        record.result = Utf8(row.value(21));
        record.exitCode = row.value(22).toInt();
        records.push_back(std::move(record));
    }
    return records;
}

QJsonObject MachineRecordJson(const MachineRecord& record)
{
    return QJsonObject{
        {"station", Text(record.station)},
        {"port", Text(record.port)},
        {"startedAt", Timestamp(record.startedAt)},
        {"endedAt", Timestamp(record.endedAt)},
        {"durationMs", qint64(record.startedAt.msecsTo(record.endedAt))},
        {"recipe", Text(record.recipe)},
        {"recipeSha256", Text(record.recipeSha256)},
        {"hardIdent", JsonNumber(record.hardIdent)},
        {"hardIdentHex", JsonHex(record.hardIdent, "%08X")},
        {"flashIdent", JsonNumber(record.flashIdent)},
        {"flashIdentHex", JsonHex(record.flashIdent, "%08X")},
        {"hardwareVersion", JsonNumber(record.hardwareVersion)},
        {"hardwareVersionHex", JsonHex(record.hardwareVersion, "%06X")},
        {"serialBefore", Text(record.serialBefore)},
        {"nameBefore", Text(record.nameBefore)},
        {"steps", StepsJson(record.steps)},
        {"factoryImage", QJsonObject{{"path", Text(record.factoryImage.path)},
                                     {"sha256", Text(record.factoryImage.sha256)}}},
        {"userProgram", QJsonObject{{"path", Text(record.userProgram.path)},
                                    {"sha256", Text(record.userProgram.sha256)}}},
        {"serialPool", Text(record.serialPool)},
        {"serial", Text(record.serial)},
        {"name", Text(record.name)},
        {"versionsAfter", VersionsJson(record.versionsAfter)},
        {"result", Text(record.result)},
        {"exitCode", record.exitCode},
    };
}

std::string HistoryCsvHeader()
{
    return "startedAt,endedAt,durationMs,station,port,recipe,recipeSha256,hardIdent,flashIdent,hardwareVersion,"
           "serialBefore,nameBefore,factoryImage,factoryImageSha256,userProgram,userProgramSha256,serialPool,serial,"
           "name,steps,versionsAfter,result,exitCode";
}

std::string HistoryCsvLine(const MachineRecord& record)
{
    const auto hex = [](const std::optional<std::uint32_t>& number, const char* format) {
        return number ? QString::fromStdString(FormatText(format, unsigned(*number))) : QString();
    };
    QStringList steps;
    for (const MachineStep& step : record.steps)
        steps << Text(step.name) + QStringLiteral(": ") + Text(step.result);
    QStringList versions;
    for (const auto& [caption, text] : record.versionsAfter)
        versions << Text(caption) + QLatin1Char(' ') + Text(text);
    const QStringList fields{
        Timestamp(record.startedAt),
        Timestamp(record.endedAt),
        QString::number(record.startedAt.msecsTo(record.endedAt)),
        Text(record.station),
        Text(record.port),
        Text(record.recipe),
        Text(record.recipeSha256),
        hex(record.hardIdent, "%08X"),
        hex(record.flashIdent, "%08X"),
        hex(record.hardwareVersion, "%06X"),
        Text(record.serialBefore),
        Text(record.nameBefore),
        Text(record.factoryImage.path),
        Text(record.factoryImage.sha256),
        Text(record.userProgram.path),
        Text(record.userProgram.sha256),
        Text(record.serialPool),
        Text(record.serial),
        Text(record.name),
        steps.join(QStringLiteral("; ")),
        versions.join(QStringLiteral("; ")),
        Text(record.result),
        QString::number(record.exitCode),
    };
    QStringList quoted;
    for (const QString& field : fields)
        quoted << CsvField(field);
    return quoted.join(QLatin1Char(',')).toStdString();
}
