#include "storage/outcome_codec.h"

#include <cstdint>
#include <climits>
#include <tuple>
#include <utility>

namespace rivek {
namespace {

// Flag byte of one outcome.
constexpr std::uint8_t kResultBits = 0x03;      // CharResult
constexpr std::uint8_t kTypedIsSent = 0x04;     // Typed equals Sent: not stored
constexpr std::uint8_t kUsualCounts = 0x08;     // counts as UsualCounts: not stored
constexpr std::uint8_t kSentOneByte = 0x10;     // Sent is one byte: no length
constexpr std::uint8_t kTypedOneByte = 0x20;    // Typed is one byte: no length
constexpr std::uint8_t kKnownBits = 0x3F;

// The counts an outcome of each result usually has: a wrong character one
// wrong byte, a missing one its bytes, an extra one its bytes.
std::pair<std::int32_t, std::int32_t> UsualCounts(CharResult result, const std::string& sent,
                                                  const std::string& typed) {
    switch (result) {
        case CharResult::Right: return {0, 0};
        case CharResult::Wrong: return {1, 0};
        case CharResult::Missing: return {0, static_cast<std::int32_t>(sent.size())};
        case CharResult::Extra: return {static_cast<std::int32_t>(typed.size()), 0};
    }
    return {0, 0};
}

void PutNumber(std::string& out, std::uint64_t value) {
    // Seven bits a byte, least significant first; the top bit says more follow.
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool AtEnd() const { return at_ == bytes_.size(); }

    std::optional<std::uint8_t> Byte() {
        if (at_ >= bytes_.size()) return std::nullopt;
        return static_cast<std::uint8_t>(bytes_[at_++]);
    }
    std::optional<std::uint64_t> Number() {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const auto byte = Byte();
            if (!byte) return std::nullopt;
            value |= std::uint64_t{*byte & 0x7Fu} << shift;
            if ((*byte & 0x80) == 0) return value;
        }
        return std::nullopt;
    }
    std::optional<std::string> Text(bool oneByte) {
        std::uint64_t length = 1;
        if (!oneByte) {
            const auto stored = Number();
            if (!stored) return std::nullopt;
            length = *stored;
        }
        if (length > bytes_.size() - at_) return std::nullopt;
        std::string text(bytes_.substr(at_, length));
        at_ += length;
        return text;
    }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::string EncodeOutcomes(const std::vector<CharOutcome>& outcomes) {
    std::string out;
    out.reserve(outcomes.size() * 2);
    for (const CharOutcome& o : outcomes) {
        const bool typedIsSent = o.Typed == o.Sent;
        const bool usualCounts = UsualCounts(o.Result, o.Sent, o.Typed) == std::pair{o.WrongCount, o.MissingCount};
        std::uint8_t flags = static_cast<std::uint8_t>(o.Result);
        if (typedIsSent) flags |= kTypedIsSent;
        if (usualCounts) flags |= kUsualCounts;
        if (o.Sent.size() == 1) flags |= kSentOneByte;
        if (o.Typed.size() == 1) flags |= kTypedOneByte;
        out.push_back(static_cast<char>(flags));
        if (o.Sent.size() != 1) PutNumber(out, o.Sent.size());
        out += o.Sent;
        if (!typedIsSent) {
            if (o.Typed.size() != 1) PutNumber(out, o.Typed.size());
            out += o.Typed;
        }
        if (!usualCounts) {
            PutNumber(out, static_cast<std::uint32_t>(o.WrongCount));
            PutNumber(out, static_cast<std::uint32_t>(o.MissingCount));
        }
    }
    return out;
}

std::optional<std::vector<CharOutcome>> DecodeOutcomes(std::string_view bytes) {
    std::vector<CharOutcome> outcomes;
    Reader in(bytes);
    while (!in.AtEnd()) {
        const std::uint8_t flags = *in.Byte();
        if ((flags & ~kKnownBits) != 0) return std::nullopt;
        CharOutcome o;
        o.Result = static_cast<CharResult>(flags & kResultBits);
        auto sent = in.Text((flags & kSentOneByte) != 0);
        if (!sent) return std::nullopt;
        o.Sent = std::move(*sent);
        if ((flags & kTypedIsSent) != 0) {
            o.Typed = o.Sent;
        } else {
            auto typed = in.Text((flags & kTypedOneByte) != 0);
            if (!typed) return std::nullopt;
            o.Typed = std::move(*typed);
        }
        if ((flags & kUsualCounts) != 0) {
            std::tie(o.WrongCount, o.MissingCount) = UsualCounts(o.Result, o.Sent, o.Typed);
        } else {
            const auto wrong = in.Number();
            const auto missing = in.Number();
            if (!wrong || !missing || *wrong > INT32_MAX || *missing > INT32_MAX) return std::nullopt;
            o.WrongCount = static_cast<std::int32_t>(*wrong);
            o.MissingCount = static_cast<std::int32_t>(*missing);
        }
        outcomes.push_back(std::move(o));
    }
    return outcomes;
}

}  // namespace rivek
