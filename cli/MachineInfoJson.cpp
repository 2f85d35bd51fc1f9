#include "cli/MachineInfoJson.h"

#include "app/readout/MachineInfo.h"
#include "app/readout/MachinePanel.h"
#include "common/TextFormat.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

template <std::size_t N>
QString Latin1(const std::array<std::uint8_t, N>& field)
{
    return Latin1(FieldText(field.data(), field.size()));
}

// QJsonDocument escapes the C0 controls (\u001b) but leaves DEL and the C1
// controls as they are: escaped here too, so that no control reaches a
// terminal. In its UTF-8 they are the byte 7F and the pairs C2 80 .. C2 9F,
// found only inside strings.
std::string EscapedDelAndC1(const QByteArray& json)
{
    std::string escaped;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const auto byte = static_cast<unsigned char>(json[i]);
        const auto next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0u;
        if (byte == 0x7F) {
            escaped += "\\u007f";
        } else if (byte == 0xC2 && next >= 0x80 && next < 0xA0) {
            escaped += FormatText("\\u%04x", unsigned(next));
            ++i;
        } else {
            escaped += char(byte);
        }
    }
    return escaped;
}

}  // namespace

std::string MachineInfoJson(const MachineInfo& info)
{
    QJsonObject object{
        {"answered", info.answered},
        {"factoryInfoRead", info.factoryInfoRead},
        {"mainInfoRead", info.mainInfoRead},
        {"hardIdent", qint64(info.hardIdent)},
        {"flashIdent", qint64(info.flashIdent)},
        {"miniBootVersion", qint64(info.miniBootVersion)},
        {"factoryDataAddress", qint64(info.factoryDataAddress)},
        {"userAreaAddress", qint64(info.userAreaAddress)},
        {"userAreaLength", qint64(info.userAreaLength)},
        {"eraseStep", qint64(info.eraseStep)},
        {"programLoaderAddress", qint64(info.programLoaderAddress)},
        {"factoryDriverList", qint64(info.factoryDriverList)},
        {"hardwareVersion", qint64(info.hardwareVersion)},
        {"hardwareOptions", qint64(info.hardwareOptions)},
        {"serialNumber", Latin1(info.serialNumber)},
        {"serialWritten", info.serialWritten},
        {"machineName", Latin1(info.machineName)},
        {"nameWritten", info.nameWritten},
        {"programLoaderVersion", qint64(info.programLoaderVersion)},
        {"mainBootVersion", qint64(info.mainBootVersion)},
        {"program1Version", qint64(info.program1Version)},
        {"program2Version", qint64(info.program2Version)},
        {"statusText", Latin1(info.statusText)},
        {"identText", Latin1(info.identText)},
        {"miniBootText", Latin1(info.miniBootText)},
        {"programLoaderText", Latin1(info.programLoaderText)},
        {"mainBootText", Latin1(info.mainBootText)},
        {"program1Text", Latin1(info.program1Text)},
        {"program2Text", Latin1(info.program2Text)},
        {"hardwareVersionText", Latin1(info.hardwareVersionText)},
        {"hardwareOptionsText", Latin1(info.hardwareOptionsText)},
        {"factoryDriversText", Latin1(info.factoryDriversText)},
        {"driversText", Latin1(info.driversText)},
    };
    return EscapedDelAndC1(QJsonDocument(object).toJson(QJsonDocument::Indented));
}
