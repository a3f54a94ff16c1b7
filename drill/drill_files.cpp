#include "drill/drill_files.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "drill/integer_text.h"
#include "platform/files.h"
#include "platform/shift_jis.h"
#include "platform/upper_case.h"

namespace rivek {
namespace {

constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;
constexpr unsigned char kEndOfText = 0x1A;
constexpr std::size_t kNumberTextLimit = 32;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

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
    // Passes over `bytes` when the text starts with them.
    bool SkipStart(std::string_view bytes) { return bytes_.SkipIfStartsWith(bytes); }

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

// The first line of the character-set file: the bytes up to, and not
// including, the first CR, NUL, 0x1A or the end of the file.
class FirstLine {
public:
    explicit FirstLine(TextReader& reader) : reader_(reader) {}

    // Appends up to `count` more bytes of the line to `out`.
    void ReadInto(std::string& out, std::size_t count) {
        for (; count > 0 && !ended_; --count) {
            const std::optional<unsigned char> byte = reader_.Peek();
            if (!byte || *byte == kCr || *byte == 0x00) {
                ended_ = true;
            } else {
                out.push_back(static_cast<char>(*byte));
                reader_.Consume();
            }
        }
        // A line that ends right behind the bytes taken is known to have ended.
        if (!ended_) {
            const std::optional<unsigned char> byte = reader_.Peek();
            ended_ = !byte || *byte == kCr || *byte == 0x00;
        }
    }
    bool Ended() const { return ended_; }

private:
    TextReader& reader_;
    bool ended_ = false;
};

// Puts the line's code page 932 bytes into the pool, piece by piece:
// upper-cased, each byte that has a code in order and with repeats, until
// the pool is full. A double-byte character may be cut between two pieces;
// its lead byte then opens the next piece again (already judged for the
// pool), so that the upper-case conversion sees that the byte after it is
// its second byte.
class PoolFiller {
public:
    PoolFiller(CharPool& pool, const CodeTable& table) : pool_(pool), table_(table) {}

    bool Full() const { return pool_.PoolLength >= kCharPoolCapacity; }

    // `last` with the line's final piece.
    void Add(std::string_view bytes, bool last) {
        std::string piece;
        if (carriedLeadByte_) piece.push_back(carried_);
        piece.append(bytes);
        if (piece.empty()) return;
        const bool endsInLead = !last && EndsInLeadByte(piece);
        const char lastByte = piece.back();
        UpperCaseInPlace(piece);
        for (std::size_t i = carriedLeadByte_ ? 1 : 0; i < piece.size() && !Full(); ++i) {
            const auto byte = static_cast<unsigned char>(piece[i]);
            if (table_[byte] != 0) pool_.CharPool[static_cast<std::size_t>(pool_.PoolLength++)] = byte;
        }
        carriedLeadByte_ = endsInLead;
        carried_ = lastByte;
    }

private:
    // Whether the piece ends in a lead byte whose second byte is still to come.
    bool EndsInLeadByte(std::string_view piece) const {
        // A carried lead byte opens the piece and waits for the byte after it.
        bool pending = carriedLeadByte_;
        for (std::size_t i = carriedLeadByte_ ? 1 : 0; i < piece.size(); ++i) {
            if (pending) {
                pending = false;
            } else if (IsShiftJisLeadByte(static_cast<unsigned char>(piece[i]))) {
                pending = true;
            }
        }
        return pending;
    }

    CharPool& pool_;
    const CodeTable& table_;
    bool carriedLeadByte_ = false;
    char carried_ = 0;
};

// The length of the sequence a UTF-8 lead byte opens; 0 for a byte that
// opens none.
std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// How many bytes at the start of `text` are whole UTF-8 sequences or bytes
// that are not UTF-8: a sequence cut at the end of the text is left out.
std::size_t WholeSequencesLength(std::string_view text) {
    const std::size_t back = std::min<std::size_t>(3, text.size());
    for (std::size_t k = 1; k <= back; ++k) {
        const auto byte = static_cast<unsigned char>(text[text.size() - k]);
        if ((byte & 0xC0u) == 0x80u) continue;  // a continuation byte: look further back
        return Utf8SequenceLength(byte) > k ? text.size() - k : text.size();
    }
    return text.size();
}

// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = Utf8SequenceLength(lead);
        if (length == 0 || at + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[at + k]) & 0xC0u) != 0x80u) return false;
        }
        const auto second = length > 1 ? static_cast<unsigned char>(text[at + 1]) : 0;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
            return false;
        }
        at += length;
    }
    return true;
}

// How much of the first line decides whether it is read as UTF-8. The rest
// of a longer line is read in the same way as its start.
constexpr std::size_t kEncodingDecisionBytes = 64 * 1024;

// Whether the start of the first line (its byte-order mark taken off) is
// read as UTF-8 rather than as code page 932 bytes.
//
// A text editor saves UTF-8, and a UTF-8 line of kana, full-width letters
// or any other character outside ASCII holds a byte in 80-A0 or E0-FF: the
// kana, their marks and the full-width forms are three bytes that begin
// with E3 or EF. A character-set file in code page 932 holds ASCII and the
// half-width katakana A1-DF, and such a line is not UTF-8 at all unless
// every katakana byte in C2-DF is followed by one in A1-BF (ﾃｱ is C3 B1,
// the UTF-8 of ñ; ﾅｶ is C5 B6, Ŷ). A line that is UTF-8 both ways, with
// every byte above 7F in A1-DF, therefore keeps the code page 932 reading
// that stored files rely on; read as UTF-8 it would hold letters such as ñ
// that have no code anyway. A byte-order mark says UTF-8 outright.
//
// `complete` tells whether `line` is the whole line; otherwise a sequence
// cut at its end is left out of the judgement.
bool ReadsAsUtf8(std::string_view line, bool byteOrderMark, bool complete) {
    if (!complete) line = line.substr(0, WholeSequencesLength(line));
    if (!IsUtf8(line)) return false;
    if (byteOrderMark) return true;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && !(byte >= 0xA1 && byte <= 0xDF)) return true;
    }
    return false;
}

// Turns the pieces of a UTF-8 line into code page 932, with full-width kana
// and letters folded to half-width (platform/shift_jis.h). A sequence cut
// at the end of a piece waits for the next one; a character that code page
// 932 lacks is passed over, as a byte without a code is.
class Utf8Pieces {
public:
    std::string Convert(std::string_view bytes, bool last) {
        std::string text = std::move(carry_);
        carry_.clear();
        text.append(bytes);
        if (!last) {
            const std::size_t whole = WholeSequencesLength(text);
            carry_ = text.substr(whole);
            text.resize(whole);
        }
        return UserTextToCp932(text, "");
    }

private:
    std::string carry_;
};

}  // namespace

void LoadSettings(SettingsFields& fields) {
    const int fd = OpenRegularFileForReading(kSettingsFileName);
    if (fd < 0) return;
    TextReader reader(fd, kSettingsReadLimit);
    // A text editor may begin the file with a UTF-8 byte-order mark; it
    // would make the first value a text that does not convert.
    reader.SkipStart(kUtf8ByteOrderMark);
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
    FirstLine line(reader);
    PoolFiller filler(pool, table);
    std::string piece;
    line.ReadInto(piece, kEncodingDecisionBytes);
    const bool byteOrderMark = piece.starts_with(kUtf8ByteOrderMark);
    if (byteOrderMark) piece.erase(0, kUtf8ByteOrderMark.size());

    // The line is taken in pieces, so that a line of any length needs no
    // more memory than one piece.
    constexpr std::size_t kPieceBytes = 4096;
    if (ReadsAsUtf8(piece, byteOrderMark, line.Ended())) {
        Utf8Pieces utf8;
        filler.Add(utf8.Convert(piece, line.Ended()), line.Ended());
        while (!line.Ended() && !filler.Full()) {
            piece.clear();
            line.ReadInto(piece, kPieceBytes);
            filler.Add(utf8.Convert(piece, line.Ended()), line.Ended());
        }
        return;
    }
    filler.Add(piece, line.Ended());
    while (!line.Ended() && !filler.Full()) {
        piece.clear();
        line.ReadInto(piece, kPieceBytes);
        filler.Add(piece, line.Ended());
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
