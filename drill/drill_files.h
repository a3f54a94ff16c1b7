// The settings file "Rivek.ini" and the character-set file "Rivek.dat",
// both opened by bare name in the current working directory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "drill/ports.h"
#include "morse/code_table.h"

namespace rivek {

inline constexpr const char* kSettingsFileName = "Rivek.ini";
inline constexpr const char* kCharSetFileName = "Rivek.dat";
inline constexpr std::int32_t kCharPoolCapacity = 2048;

// How much of each file is ever read; what lies beyond counts as the end of
// the text. Three numbers need a few dozen bytes, and a first line of the
// character set rarely more than a few hundred: the limits only keep a huge
// file without line ends from taking unbounded time.
inline constexpr std::size_t kSettingsReadLimit = 64 * 1024;
inline constexpr std::size_t kCharSetReadLimit = 1024 * 1024;

struct CharPool {
    std::array<unsigned char, kCharPoolCapacity> CharPool{};
    std::int32_t PoolLength = 0;
};

// Both files are read as bytes. A line ends at a CR, and an LF right after
// it belongs to that line end; any other LF is an ordinary byte. A byte
// 0x1A, a read error or the end of the file ends the text. Only a regular
// file counts as opened (a directory, FIFO or device does not), and no
// outcome is ever reported.

// Reads up to three numbers into the fields (Frequency, Speed, GroupLength),
// which clamp them. A UTF-8 byte-order mark at the start of the file is
// passed over. Each number: bytes up to 0x20 are skipped (line ends too),
// then a run of at most 32 bytes above 0x20 is converted by
// ConvertIntegerText, then the rest of its line is skipped. The end of the
// text before a number gives 0. A missing file changes nothing; a value that
// does not convert leaves its field as it was.
void LoadSettings(SettingsFields& fields);

// Fills the pool from the first line of "Rivek.dat" (ended by CR, NUL, 0x1A
// or the end of the file), upper-cased, keeping the bytes that have a code
// in `table`, in order and with repeats, at most 2048 of them; reading stops
// once the pool is full. Without the file: the letters A to Z. `path` names
// another character-set file read by the same rules.
//
// A line written as UTF-8 is converted to code page 932 first, with
// full-width kana and letters folded to half-width; characters that code
// page 932 lacks are passed over. The line counts as UTF-8 when it starts
// with a UTF-8 byte-order mark (which is passed over) and is UTF-8 after it,
// or when it is UTF-8 and holds a byte above 0x7F outside the half-width
// katakana A1-DF. A line that is UTF-8 and code page 932 text both ways is
// read as code page 932 bytes, as every other line is. The first 64 KiB of
// the line decide.
void LoadCharPool(CharPool& pool, const CodeTable& table, const char* path = kCharSetFileName);

// Writes the three values the fields show (unclamped) as decimal text, each
// followed by CR LF, whole or not at all (SaveFileReplacing in
// platform/files.h: a link stays a link, a file that is not a writable
// regular file is left alone).
void SaveSettings(const SettingsFields& fields);

}  // namespace rivek
