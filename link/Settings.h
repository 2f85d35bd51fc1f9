#pragma once

#include "common/SettingNames.h"

#include <stdexcept>
#include <string>

// The current user's stored values, by the names in common/SettingNames.h
// ("ComPort", "BootDir", "FactoryDir", "UserDir", "Prog2Dir", and "Ports/comN"
// for the device behind a port name). Each call opens the store afresh;
// nothing is cached. Read where a choice is made: the port selection, the
// command line's session and the Load flow; the link below them reads none.

// Raised with "Failed to set data for '%s'" or "Invalid data type for '%s'".
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True and the value when it exists; false and `value` untouched otherwise.
// Throws SettingsError when the stored value is not a string.
bool ReadSetting(const std::string& name, std::string& value);
// Creates the store when missing; throws SettingsError when it refuses the write.
void WriteSetting(const std::string& name, const std::string& value);

// Where the values are kept, for messages: on Linux the file's path.
std::string SettingsLocation();
