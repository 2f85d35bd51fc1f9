#pragma once

#include "cli/CliCommands.h"

// The stored port and the ports present. set-port NAME [DEVICE] stores
// "ComPort" (and "Ports/NAME", by the device's stable name where it has one)
// as the port dialog does; alone it prints what is stored.
ExitCode SetPortCommand(CliSession& session, const CliArguments& arguments);
ExitCode PortsCommand(CliSession& session, const CliArguments& arguments);
