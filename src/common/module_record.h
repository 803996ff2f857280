// What the host keeps of each loaded module, found by folder name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ModuleRecord {
    int32_t type = 0;
    std::string libraryPath;
    std::string id;
    std::string version;
    int32_t width = 0;
    int32_t height = 0;
    std::string createCommand;
    std::vector<std::string> receives;
    std::vector<std::string> sends;
    std::vector<std::string> requires_;
    std::vector<std::string> optionals;
};
