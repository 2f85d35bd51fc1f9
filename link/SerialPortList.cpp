#include "link/SerialPortList.h"

#include "common/TextFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

std::string Text(const QString& text)
{
    return text.toStdString();
}

// The last part of a device path: "ttyUSB0" of "/dev/ttyUSB0".
std::string ShortName(const std::string& device)
{
    const auto slash = device.find_last_of('/');
    return slash == std::string::npos ? device : device.substr(slash + 1);
}

}  // namespace

std::string ResolvedDevice(const std::string& path)
{
    const QString canonical = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    return canonical.isEmpty() ? path : Text(canonical);
}

bool DevicePresent(const std::string& path)
{
    return !path.empty() && QFileInfo::exists(QString::fromStdString(path));
}

std::string StableNameOf(const std::string& device, const std::string& stableFolder)
{
    if (stableFolder.empty() || device.empty())
        return {};
    const std::string target = ResolvedDevice(device);
    const QDir folder(QString::fromStdString(stableFolder));
    for (const QFileInfo& link : folder.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (link.isSymLink() && Text(link.canonicalFilePath()) == target)
            return Text(link.absoluteFilePath());
    }
    return {};
}

std::vector<SerialPortEntry> ListSerialPorts(const std::string& stableFolder)
{
    std::vector<SerialPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortEntry entry;
        entry.device = Text(info.systemLocation());
        entry.stableName = StableNameOf(entry.device, stableFolder);
        entry.description = Text(info.description());
        entry.manufacturer = Text(info.manufacturer());
        entry.serialNumber = Text(info.serialNumber());
        if (info.hasVendorIdentifier())
            entry.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            entry.productId = info.productIdentifier();
        ports.push_back(std::move(entry));
    }
    return ports;
}

std::string PortEntryLabel(const SerialPortEntry& entry)
{
    std::string label = ShortName(entry.device);
    if (!entry.description.empty())
        label += " \u2014 " + entry.description;
    std::string maker = entry.manufacturer;
    if (!entry.serialNumber.empty())
        maker += (maker.empty() ? "" : ", ") + entry.serialNumber;
    if (!maker.empty())
        label += " (" + maker + ")";
    return label;
}

std::string UsbIdText(const SerialPortEntry& entry)
{
    if (!entry.vendorId || !entry.productId)
        return {};
    return FormatText("%04x:%04x", unsigned(*entry.vendorId), unsigned(*entry.productId));
}
