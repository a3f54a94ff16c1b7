// The settings file "Rivek.ini" and the character-set file "Rivek.dat",
// both opened by bare name in the current working directory.
#pragma once

#include <array>
#include <cstdint>

#include "drill/ports.h"
#include "morse/code_table.h"

namespace rivek {

inline constexpr const char* kSettingsFileName = "Rivek.ini";
inline constexpr const char* kCharSetFileName = "Rivek.dat";
inline constexpr std::int32_t kCharPoolCapacity = 2048;

struct CharPool {
    std::array<unsigned char, kCharPoolCapacity> CharPool{};
    std::int32_t PoolLength = 0;
};

// Reads the three values into the fields, which clamp them. A missing file
// changes nothing; a value that does not convert leaves its field as it was.
void LoadSettings(SettingsFields& fields);

// Fills the pool from the first line of "Rivek.dat", keeping the bytes that
// have a code (lower case counts as capitals), at most 2048 of them; without
// the file, the letters A to Z.
void LoadCharPool(CharPool& pool, const CodeTable& table);

// Writes the three values the fields show as "Rivek.ini". The old file is
// replaced only once the new content has been written whole.
void SaveSettings(const SettingsFields& fields);

}  // namespace rivek
