// A private working directory for the file fuzzers: every input is written
// as the real file and read by the real loader, as at start-up.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace rivek::fuzz {

inline void EnterScratchDirectory() {
    static const bool entered = [] {
        char pattern[] = "/tmp/rivek-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
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
