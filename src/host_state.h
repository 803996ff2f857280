// Process-wide values that start-up establishes and later code reads.
#pragma once

#include <string>

struct HostState {
    std::wstring hostConfigPath;  // first argument, else the preferences path, else empty
    bool hostFileFlag = false;    // the command line gave at least one argument
    std::wstring logFolder;       // temp + maker + "\" + "%Y%m%d", no trailing backslash
    std::wstring dumpPath;        // log folder + "\" + "%Y%m%d%H%M%S" + ".dmp"
    bool exitFlag = false;        // past the orderly end; the crash notice stays silent
    bool logShutFlag = false;     // glog has been shut down
};

HostState& Host();
