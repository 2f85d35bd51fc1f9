#include "cli/MachineInfoJson.h"

#include "operations/readout/MachineInfo.h"
#include "operations/readout/MachinePanel.h"
#include "cli/JsonReport.h"
#include "common/QtText.h"
#include "common/TextFormat.h"

namespace {

QString Latin1(const std::string& text)
{
    return QStringFromLatin1(text);
}

template <std::size_t N>
QString Latin1(const std::array<std::uint8_t, N>& field)
{
    return QStringFromLatin1(FieldText(field.data(), field.size()));
}

}  // namespace

QString IdentityHex(std::uint32_t ident)
{
    return QString::fromStdString(FormatText("%08lX", static_cast<unsigned long>(ident)));
}

QString AddressHex(std::uint32_t address)
{
    return QString::fromStdString(FormatText("%06X", unsigned(address)));
}

QJsonObject IdentityMembers(std::uint32_t hardIdent, std::uint32_t flashIdent)
{
    return QJsonObject{
        {"hardIdent", qint64(hardIdent)},
        {"flashIdent", qint64(flashIdent)},
        {"hardIdentHex", IdentityHex(hardIdent)},
        {"flashIdentHex", IdentityHex(flashIdent)},
    };
}

QJsonObject MachineInfoMembers(const MachineInfo& info)
{
    QJsonObject object{
        {"answered", info.answered},
        {"factoryInfoRead", info.factoryInfoRead},
        {"mainInfoRead", info.mainInfoRead},
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
        {"factoryDataAddressHex", AddressHex(info.factoryDataAddress)},
        {"userAreaAddressHex", AddressHex(info.userAreaAddress)},
        {"programLoaderAddressHex", AddressHex(info.programLoaderAddress)},
        {"factoryDriverListHex", AddressHex(info.factoryDriverList)},
    };
    const QJsonObject identity = IdentityMembers(info.hardIdent, info.flashIdent);
    for (auto member = identity.begin(); member != identity.end(); ++member)
        object.insert(member.key(), member.value());
    return object;
}

std::string MachineInfoJson(const MachineInfo& info)
{
    return JsonText(MachineInfoMembers(info));
}
