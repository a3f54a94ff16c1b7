#include "drill/drill_files.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "drill/integer_text.h"
#include "platform/files.h"
#include "platform/upper_case.h"

namespace rivek {
namespace {

constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kEndOfText = 0x1A;
constexpr std::size_t kNumberTextLimit = 32;

// The text of one of the two files: the file's bytes, within a byte limit,
// up to the first 0x1A, which ends the text where it stands.
class TextReader {
public:
    TextReader(int fd, std::size_t byteLimit) : bytes_(fd, byteLimit) {}

    // The next byte without consuming it, or nullopt at the end of the text.
    std::optional<unsigned char> Peek() {
        const std::optional<unsigned char> byte = bytes_.Peek();
        if (byte == kEndOfText) return std::nullopt;
        return byte;
    }
    void Consume() { bytes_.Consume(); }

private:
    BoundedReader bytes_;
};

// Reading a number: skip bytes up to 0x20 (line ends included), then take
// the run of bytes above 0x20, at most 32 of them, leaving the byte that
// ends the run unread. The end of the text before any run gives 0.
std::optional<std::int32_t> ReadNumber(TextReader& reader) {
    std::optional<unsigned char> byte;
    while ((byte = reader.Peek()) && *byte <= 0x20) reader.Consume();
    if (!byte) return 0;
    std::string text;
    while ((byte = reader.Peek()) && *byte > 0x20 && text.size() < kNumberTextLimit) {
        text.push_back(static_cast<char>(*byte));
        reader.Consume();
    }
    return ConvertIntegerText(text);
}

// Up to and including the next CR, then an LF directly behind it.
void SkipRestOfLine(TextReader& reader) {
    std::optional<unsigned char> byte;
    while ((byte = reader.Peek())) {
        reader.Consume();
        if (*byte == kCr) break;
    }
    if (byte == kCr && reader.Peek() == kLf) reader.Consume();
}

// Upper-cases and filters one piece of the first line into the pool. With
// `carriedLeadByte` the piece opens with the lead byte of code page 932 that ended the
// last piece (already judged there), so that its second byte is recognised
// as such here.
void AppendToPool(CharPool& pool, const CodeTable& table, std::string& piece,
                  bool carriedLeadByte) {
    UpperCaseInPlace(piece);
    for (std::size_t i = carriedLeadByte ? 1 : 0; i < piece.size(); ++i) {
        if (pool.PoolLength >= kCharPoolCapacity) return;
        const auto byte = static_cast<unsigned char>(piece[i]);
        if (table[byte] != 0) pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = byte;
    }
}

// Whether the piece ends in a lead byte whose second byte is still to come.
bool EndsInLeadByte(std::string_view piece, bool carriedLeadByte) {
    // A carried lead byte opens the piece and waits for the byte after it.
    bool pending = carriedLeadByte;
    for (std::size_t i = carriedLeadByte ? 1 : 0; i < piece.size(); ++i) {
        if (pending) {
            pending = false;
        } else if (IsShiftJisLeadByte(static_cast<unsigned char>(piece[i]))) {
            pending = true;
        }
    }
    return pending;
}

}  // namespace

void LoadSettings(SettingsFields& fields) {
    const int fd = OpenRegularFileForReading(kSettingsFileName);
    if (fd < 0) return;
    TextReader reader(fd, kSettingsReadLimit);
    for (const Setting setting : {Setting::Frequency, Setting::Speed, Setting::GroupLength}) {
        const std::optional<std::int32_t> value = ReadNumber(reader);
        SkipRestOfLine(reader);
        // A value that does not convert leaves the field as it was.
        if (value) fields.SetSpinValue(setting, *value);
    }
}

void LoadCharPool(CharPool& pool, const CodeTable& table, const char* path) {
    pool.PoolLength = 0;
    const int fd = OpenRegularFileForReading(path);
    if (fd < 0) {
        for (unsigned char letter = 'A'; letter <= 'Z'; ++letter) {
            pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = letter;
        }
        return;
    }
    TextReader reader(fd, kCharSetReadLimit);
    // The first line ends at a CR, a NUL (the rest of the line is not used),
    // 0x1A or the end of the file. It is taken in pieces, so that a line of
    // any length needs no more memory than one piece.
    constexpr std::size_t kPieceBytes = 4096;
    std::string piece;
    bool carriedLeadByte = false;
    bool lineEnded = false;
    while (!lineEnded && pool.PoolLength < kCharPoolCapacity) {
        const std::optional<unsigned char> byte = reader.Peek();
        if (!byte || *byte == kCr || *byte == 0x00) {
            lineEnded = true;
        } else {
            piece.push_back(static_cast<char>(*byte));
            reader.Consume();
        }
        if (piece.size() == kPieceBytes || (lineEnded && !piece.empty())) {
            const bool endsInLead = !lineEnded && EndsInLeadByte(piece, carriedLeadByte);
            const char lastByte = piece.back();
            AppendToPool(pool, table, piece, carriedLeadByte);
            piece.clear();
            carriedLeadByte = endsInLead;
            // The lead byte opens the next piece again, so that the upper-case
            // conversion sees it before its second byte; it was already
            // judged for the pool in this piece.
            if (carriedLeadByte) piece.push_back(lastByte);
        }
    }
}

void SaveSettings(const SettingsFields& fields) {
    std::string content;
    for (const Setting setting : {Setting::Frequency, Setting::Speed, Setting::GroupLength}) {
        content += std::to_string(fields.SpinValue(setting));
        content += "\r\n";
    }

    // A save that cannot be done whole leaves the old file as it was.
    SaveFileReplacing(kSettingsFileName, content);
}

}  // namespace rivek
