#include "link/Settings.h"

#include "common/TextFormat.h"

#include <QSettings>

namespace {

constexpr auto kOrganization = "Orvane";
constexpr auto kApplication = "Quorvex";

}  // namespace

bool ReadSetting(const std::string& name, std::string& value)
{
    const QSettings store(kOrganization, kApplication);
    const QString key = QString::fromStdString(name);
    if (!store.contains(key))
        return false;
    const QVariant stored = store.value(key);
    if (stored.typeId() != QMetaType::QString)
        throw SettingsError(FormatText("Invalid data type for '%s'", name.c_str()));
    value = stored.toString().toStdString();
    return true;
}

void WriteSetting(const std::string& name, const std::string& value)
{
    QSettings store(kOrganization, kApplication);
    store.setValue(QString::fromStdString(name), QString::fromStdString(value));
    store.sync();
    if (store.status() != QSettings::NoError)
        throw SettingsError(FormatText("Failed to set data for '%s'", name.c_str()));
}

std::string SettingsLocation()
{
    return QSettings(kOrganization, kApplication).fileName().toStdString();
}
