#pragma once

#include <string>

// The names of the values the tool keeps in the current user's settings, one
// constant each, for every layer that reads or writes them (link/Settings is
// the store; the table of file kinds names the folder of each kind's dialog).
namespace SettingName {

inline constexpr const char* kComPort = "ComPort";        // the selected port name ("com1" .. "com8")
inline constexpr const char* kUserDir = "UserDir";        // folder of the user program dialog
inline constexpr const char* kFactoryDir = "FactoryDir";  // folder of the factory image dialog
inline constexpr const char* kBootDir = "BootDir";        // folder of the boot program dialog
inline constexpr const char* kProg2Dir = "Prog2Dir";      // folder of the symbol file dialog
inline constexpr const char* kBackupDir = "BackupDir";    // folder of the backup dialogs
inline constexpr const char* kVerifyAfterWriting = "VerifyAfterWriting";  // the window's verify: "1" on, else off
inline constexpr const char* kPortsGroup = "Ports/";      // the devices behind the port names

// "Ports/comN": the device a port name stands for.
inline std::string PortDevice(const std::string& portName)
{
    return kPortsGroup + portName;
}

}  // namespace SettingName
