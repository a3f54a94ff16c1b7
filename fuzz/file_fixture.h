// A private working directory for the file fuzzers: every input is written
// as the real file and read by the real loader, as at start-up.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace rivek::fuzz {

// Paths libFuzzer is given must be absolute (scripts/fuzz sees to that):
// the directory changes before the seeds are read.
inline void EnterScratchDirectory() {
    static char directory[] = "/tmp/rivek-fuzz-XXXXXX";
    static const bool entered = [] {
        if (mkdtemp(directory) == nullptr || chdir(directory) != 0) std::abort();
        // Leave nothing behind after a clean end of the run.
        std::atexit([] {
            std::remove("Rivek.ini");
            std::remove("Rivek.dat");
            if (chdir("/") == 0) std::remove(directory);
        });
        return true;
    }();
    (void)entered;
}

inline void WriteFile(const char* name, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

}  // namespace rivek::fuzz
