// Waiting out Wine's shell between tests that run Windows programs on
// virtual desktops of their own.
#pragma once

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Wine's shell (explorer.exe) outlives the last program of its prefix for a few
// seconds, tied to the X display it started on; a program started meanwhile
// would dock its icon into that display's tray instead of the test's.
inline bool WineShellRunning(const std::string& winePrefix) {
    const std::string prefix = "WINEPREFIX=" + winePrefix + '\0';
    DIR* proc = opendir("/proc");
    bool running = false;
    while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string base = "/proc/" + pid;
        if (ReadWholeFile(base + "/cmdline").find("explorer.exe") != std::string::npos &&
            ReadWholeFile(base + "/environ").find(prefix) != std::string::npos) {
            running = true;
        }
    }
    if (proc != nullptr) {
        closedir(proc);
    }
    return running;
}

}  // namespace testsupport
