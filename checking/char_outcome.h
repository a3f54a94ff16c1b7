// The outcome of each character of a scored trial, read off the alignment
// that the scoring showed: for each sent character right, wrong (with what
// was typed for it) or missing, and each extra typed character.
//
// The alignment pairs bytes; an outcome names whole characters. A typed
// double-byte character (a kanji, a full-width letter) is never split in
// two halves:
//   - both of its bytes extra: one Extra outcome for the whole character;
//   - one or both of its bytes paired: it belongs to the outcome of the
//     first sent character one of its bytes pairs with, which names it
//     whole as what was typed and takes the wrong count of its extra byte,
//     if any. That sent character is Wrong even when its own pair happened
//     to compare equal (a second byte 0x41 paired with a sent A: the
//     correction line shows the A black, but what was typed for it was a
//     different character). A second sent character paired with the other
//     byte of the same double-byte character is Wrong too and names it as
//     well.
// A sent double-byte character (none is ever drawn from a pool, but any
// text can be checked) is likewise one outcome for both its bytes.
//
// Every byte the scoring counts lands in exactly one outcome, so the
// outcomes' WrongCount and MissingCount add up to the scoring's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "checking/alignment.h"

namespace rivek {

enum class CharResult : std::uint8_t {
    Right = 0,    // every byte of the sent character answered by an equal byte
    Wrong = 1,    // taken for another character (Typed says which)
    Missing = 2,  // no byte of it was typed
    Extra = 3,    // a typed character that answers no sent character
};

struct CharOutcome {
    CharResult Result = CharResult::Right;
    // The sent character as sent, code page 932; empty for Extra.
    std::string Sent;
    // What was typed for it, whole characters, upper-cased and unfolded (a
    // digit answered on its kana key gives the kana here and counts Right);
    // the extra character for Extra; empty for Missing.
    std::string Typed;
    // This outcome's share of the scoring's WrongCount and MissingCount.
    std::int32_t WrongCount = 0;
    std::int32_t MissingCount = 0;

    friend bool operator==(const CharOutcome&, const CharOutcome&) = default;
};

// The outcomes in the order of the correction line: sent characters in
// sending order, each extra character where it was typed. The space that
// the check puts before both texts is no sent character: its outcome is
// left out when it was answered by the answer's own leading space (always,
// for groups without spaces), and otherwise kept with Sent " " so that the
// counts still add up.
std::vector<CharOutcome> CharOutcomes(const AnswerAlignment& alignment);

}  // namespace rivek
