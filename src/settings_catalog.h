// Settings and the resource catalog: the standard store, the host
// configuration and the values start-up derives from them.
#pragma once

#include <string>

class CommandLineArgs;

// Creates the standard store and fixes the host configuration path from
// the command line: the first argument, when there is one, also sets the
// host-file flag. Further arguments are ignored.
void InitSettings(const CommandLineArgs& args);

// The device server and service paths from the host configuration; empty
// unless configured. Fixed after start-up, so the texts stay put.
const std::wstring& DeviceServerPath();
const std::wstring& DeviceServicePath();
