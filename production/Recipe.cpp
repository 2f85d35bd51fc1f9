#include "production/Recipe.h"

#include "common/ControlText.h"
#include "images/FileKinds.h"
#include "images/FileReader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <functional>
#include <set>

namespace {

// Far more than any recipe holds: a file larger is not one (/dev/zero).
constexpr qint64 kMostRecipeBytes = 1024 * 1024;

const QString kSerialPlaceholder = QStringLiteral("{serial}");

using Kind = RecipeError::Kind;

std::string Quoted(const QString& text)
{
    return "'" + text.toStdString() + "'";
}

// The SHA-256 of a file's bytes, read in pieces; empty when it cannot be read.
std::string Sha256OfFile(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex().toStdString();
}

// Reads one recipe's keys, each checked as it is taken.
class RecipeReader {
public:
    explicit RecipeReader(std::string path) : path(std::move(path)) {}

    [[noreturn]] void Fail(const std::string& key, const std::string& reason, Kind kind = Kind::InRecipe) const
    {
        throw RecipeError(kind, path, key, reason);
    }

    // The object's keys are exactly `keys`: none missing, none other.
    void CheckKeys(const QJsonObject& object, const std::string& prefix, const std::set<QString>& keys) const
    {
        for (auto member = object.begin(); member != object.end(); ++member) {
            if (!keys.contains(member.key()))
                Fail(prefix + member.key().toStdString(), "unknown key");
        }
        for (const QString& key : keys) {
            if (!object.contains(key))
                Fail(prefix + key.toStdString(), "missing");
        }
    }

    QString Text(const QJsonObject& object, const QString& key, const std::string& name, const char* what) const
    {
        const QJsonValue value = object.value(key);
        if (!value.isString() || value.toString().trimmed().isEmpty())
            Fail(name, std::string("must be ") + what);
        return value.toString();
    }

    bool Switch(const QJsonObject& object, const QString& key, const std::string& name) const
    {
        const QJsonValue value = object.value(key);
        if (!value.isBool())
            Fail(name, "must be true or false");
        return value.toBool();
    }

    // A file the recipe names, of `kind`, loaded by `load`: its path and
    // hash, or the loader's refusal.
    RecipeFile File(const QJsonObject& recipe, const QString& key, FileKind kind,
                    const std::function<std::pair<bool, std::string>(const std::string&)>& load) const
    {
        const std::string name = key.toStdString();
        const QJsonValue value = recipe.value(key);
        if (!value.isObject())
            Fail(name, "must be an object with \"file\" and \"verify\"");
        const QJsonObject object = value.toObject();
        CheckKeys(object, name + ".", {QStringLiteral("file"), QStringLiteral("verify")});
        const QString given = Text(object, QStringLiteral("file"), name + ".file", "a file name");
        RecipeFile file;
        file.verify = Switch(object, QStringLiteral("verify"), name + ".verify");
        file.path = QDir(QFileInfo(QString::fromStdString(path)).absolutePath()).absoluteFilePath(given).toStdString();
        const FileKindInfo& wanted = KindInfo(kind);
        if (const auto other = KindOfPath(file.path); other && *other != kind) {
            Fail(name + ".file",
                 file.path + " is a ." + KindInfo(*other).extension + " file, not a ." + wanted.extension + " file",
                 Kind::FileRefused);
        }
        if (const std::string why = FileOpenFailure(file.path); !why.empty())
            Fail(name + ".file", file.path + ": " + why, Kind::FileRefused);
        const auto [loaded, statusText] = load(file.path);
        if (!loaded)
            Fail(name + ".file", file.path + ": " + statusText, Kind::FileRefused);
        file.sha256 = Sha256OfFile(QString::fromStdString(file.path));
        if (file.sha256.empty())
            Fail(name + ".file", file.path + ": cannot be read again", Kind::FileRefused);
        return file;
    }

    // Why the machine name cannot be written, or nothing.
    static std::optional<std::string> NameRefusal(const QString& pattern)
    {
        for (qsizetype at = pattern.indexOf(QLatin1Char('{')); at >= 0; at = pattern.indexOf(QLatin1Char('{'), at + 1)) {
            if (pattern.mid(at, kSerialPlaceholder.size()) != kSerialPlaceholder) {
                const qsizetype end = pattern.indexOf(QLatin1Char('}'), at);
                return "unknown placeholder " + Quoted(pattern.mid(at, end < 0 ? -1 : end - at + 1))
                       + " (\"{serial}\" stands for the serial number)";
            }
        }
        for (const QChar c : pattern) {
            if (c.unicode() > 0xFF)
                return "the character " + Quoted(QString(c)) + " is not Latin-1, which the machine stores";
            if (IsControl(c.unicode()))
                return FormatText("holds the control character U+%04X", unsigned(c.unicode()));
        }
        return std::nullopt;
    }

private:
    std::string path;
};

QString NameWith(const QString& pattern, const QString& serial)
{
    return QString(pattern).replace(kSerialPlaceholder, serial).trimmed();
}

}  // namespace

RecipeError::RecipeError(Kind kind, const std::string& recipe, std::string key, std::string reason)
    : std::runtime_error(recipe + ": " + (key.empty() ? "" : "\"" + key + "\": ") + reason),
      kind(kind),
      key(std::move(key)),
      reason(std::move(reason))
{
}

Recipe LoadRecipe(const std::string& path)
{
    Recipe recipe;
    recipe.path = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    const RecipeReader reader(path);
    if (const std::string why = FileOpenFailure(path); !why.empty())
        reader.Fail("", why, Kind::FileRefused);
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        reader.Fail("", file.errorString().toStdString(), Kind::FileRefused);
    const QByteArray bytes = file.read(kMostRecipeBytes + 1);
    if (bytes.size() > kMostRecipeBytes)
        reader.Fail("", "more than 1 MiB: not a recipe");
    recipe.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();

    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        reader.Fail("", "not JSON: " + parseError.errorString().toStdString() + " at offset "
                            + std::to_string(parseError.offset));
    }
    if (!document.isObject())
        reader.Fail("", "must be a JSON object");
    const QJsonObject object = document.object();
    reader.CheckKeys(object, "",
                     {QStringLiteral("factoryImage"), QStringLiteral("userProgram"), QStringLiteral("serialPool"),
                      QStringLiteral("machineName"), QStringLiteral("powerOff"),
                      QStringLiteral("machineWithSerial")});

    recipe.serialPool = reader.Text(object, QStringLiteral("serialPool"), "serialPool", "a pool's name").toStdString();
    if (PoolRefusal(SerialPool{.name = recipe.serialPool, .prefix = {}, .first = 0, .last = 0, .digits = 1}))
        reader.Fail("serialPool", "a pool's name is 1 to 64 letters, digits, '-', '_' or '.'");

    const QString name = reader.Text(object, QStringLiteral("machineName"), "machineName", "a text");
    if (const auto refusal = RecipeReader::NameRefusal(name))
        reader.Fail("machineName", *refusal);
    if (const QString fixed = NameWith(name, {}); fixed.size() > kMachineNameLength) {
        reader.Fail("machineName", FormatText("%lld characters without the serial number; a machine name holds %d",
                                              static_cast<long long>(fixed.size()), kMachineNameLength));
    }
    recipe.machineName = name.toStdString();

    recipe.powerOff = reader.Switch(object, QStringLiteral("powerOff"), "powerOff");
    const QJsonValue withSerial = object.value(QStringLiteral("machineWithSerial"));
    if (withSerial == QStringLiteral("stop"))
        recipe.machineWithSerial = MachineWithSerial::Stop;
    else if (withSerial == QStringLiteral("record"))
        recipe.machineWithSerial = MachineWithSerial::Record;
    else
        reader.Fail("machineWithSerial", "must be \"stop\" or \"record\"");

    recipe.factory = reader.File(object, QStringLiteral("factoryImage"), FileKind::Factory, [&](const std::string& file) {
        LoadFactoryFile(file, recipe.factoryImage);
        return std::pair{recipe.factoryImage.loaded, recipe.factoryImage.statusText};
    });
    recipe.user = reader.File(object, QStringLiteral("userProgram"), FileKind::User, [&](const std::string& file) {
        LoadUserProgram(file, recipe.userImage);
        return std::pair{recipe.userImage.loaded, recipe.userImage.statusText};
    });
    return recipe;
}

void CheckRecipeWithPool(const Recipe& recipe, const SerialPool& pool)
{
    if (pool.name != recipe.serialPool)
        throw RecipeError(Kind::InRecipe, recipe.path, "serialPool", "names pool " + recipe.serialPool + ", not " + pool.name);
    const std::string longest = SerialText(pool, pool.last);
    const std::string name = MachineNameFor(recipe, longest);
    const qsizetype length = QString::fromStdString(name).size();
    if (length > kMachineNameLength) {
        throw RecipeError(Kind::InRecipe, recipe.path, "machineName",
                          FormatText("'%s' is %lld characters with pool %s's serial number %s; a machine name holds %d",
                                     name.c_str(), static_cast<long long>(length), pool.name.c_str(), longest.c_str(),
                                     kMachineNameLength));
    }
}

std::string MachineNameFor(const Recipe& recipe, const std::string& serial)
{
    return NameWith(QString::fromStdString(recipe.machineName), QString::fromStdString(serial)).toStdString();
}
