#include "checking/char_outcome.h"

#include <cstddef>
#include <optional>
#include <string_view>

#include "checking/byte_places.h"

namespace rivek {
namespace {

// One step of the path, as the scoring walks it: a sent byte not typed, a
// typed byte answering nothing, or a pair. Positions are 0-based here.
struct Step {
    enum Kind : std::uint8_t { Missing, Extra, Pair } kind;
    std::size_t sent = 0;
    std::size_t typed = 0;
    bool equal = false;
};

std::vector<Step> PathSteps(const AnswerAlignment& alignment) {
    std::vector<Step> steps;
    std::int32_t previousSent = 0;
    std::int32_t previousTyped = 0;
    for (std::int32_t n = alignment.NodeCount - 1; n >= 0; --n) {
        const std::int32_t i = alignment.PathSent[static_cast<std::size_t>(n)];
        const std::int32_t j = alignment.PathTyped[static_cast<std::size_t>(n)];
        for (std::int32_t s = previousSent + 1; s < i; ++s) {
            steps.push_back({Step::Missing, static_cast<std::size_t>(s - 1), 0, false});
        }
        for (std::int32_t t = previousTyped + 1; t < j; ++t) {
            steps.push_back({Step::Extra, 0, static_cast<std::size_t>(t - 1), false});
        }
        if (n != 0) {
            const auto s = static_cast<std::size_t>(i - 1);
            const auto t = static_cast<std::size_t>(j - 1);
            steps.push_back({Step::Pair, s, t, alignment.SentFolded[s] == alignment.TypedFolded[t]});
        }
        previousSent = i;
        previousTyped = j;
    }
    return steps;
}

// The first byte of the character that holds byte p, and its length.
std::size_t CharacterStart(const std::vector<BytePlace>& places, std::size_t p) {
    return places[p] == BytePlace::Second ? p - 1 : p;
}
std::size_t CharacterLength(const std::vector<BytePlace>& places, std::size_t start) {
    return places[start] == BytePlace::Lead ? 2 : 1;
}

}  // namespace

std::vector<CharOutcome> CharOutcomes(const AnswerAlignment& alignment) {
    const std::string& sentText = alignment.SentDisplay;
    const std::string& typedText = alignment.TypedDisplay;
    const std::vector<BytePlace> sentPlaces = BytePlaces(sentText);
    const std::vector<BytePlace> typedPlaces = BytePlaces(typedText);
    const std::vector<Step> steps = PathSteps(alignment);

    // First pass: each typed character that has a paired byte belongs to the
    // first sent character (in path order, which is sending order) paired
    // with one of its bytes.
    std::vector<std::optional<std::size_t>> ownerOfTyped(typedText.size());
    for (const Step& step : steps) {
        if (step.kind != Step::Pair) continue;
        std::optional<std::size_t>& owner = ownerOfTyped[CharacterStart(typedPlaces, step.typed)];
        if (!owner) owner = CharacterStart(sentPlaces, step.sent);
    }

    // Second pass: outcomes in the order their first step comes, each step
    // adding its count to the outcome it belongs to.
    std::vector<CharOutcome> outcomes;
    std::vector<std::optional<std::size_t>> outcomeOfSent(sentText.size());
    std::vector<std::optional<std::size_t>> outcomeOfExtra(typedText.size());
    std::vector<std::size_t> missingBytes;                // per outcome
    std::vector<std::vector<std::size_t>> typedNamed;     // per outcome, typed characters named
    const auto sentOutcome = [&](std::size_t start) -> std::size_t {
        std::optional<std::size_t>& at = outcomeOfSent[start];
        if (!at) {
            at = outcomes.size();
            CharOutcome outcome;
            outcome.Sent = sentText.substr(start, CharacterLength(sentPlaces, start));
            outcomes.push_back(std::move(outcome));
            missingBytes.push_back(0);
            typedNamed.emplace_back();
        }
        return *at;
    };
    // Names a typed character as typed for an outcome, once.
    const auto nameTyped = [&](CharOutcome& outcome, std::size_t start, std::vector<std::size_t>& named) {
        for (const std::size_t done : named) {
            if (done == start) return;
        }
        named.push_back(start);
        outcome.Typed += typedText.substr(start, CharacterLength(typedPlaces, start));
    };
    for (const Step& step : steps) {
        switch (step.kind) {
            case Step::Missing: {
                const std::size_t at = sentOutcome(CharacterStart(sentPlaces, step.sent));
                outcomes[at].MissingCount += 1;
                missingBytes[at] += 1;
                break;
            }
            case Step::Pair: {
                const std::size_t at = sentOutcome(CharacterStart(sentPlaces, step.sent));
                nameTyped(outcomes[at], CharacterStart(typedPlaces, step.typed), typedNamed[at]);
                if (!step.equal) outcomes[at].WrongCount += 1;
                break;
            }
            case Step::Extra: {
                const std::size_t typedStart = CharacterStart(typedPlaces, step.typed);
                std::size_t at = 0;
                if (const std::optional<std::size_t> owner = ownerOfTyped[typedStart]) {
                    // Half of a character whose other half answers a sent one.
                    at = sentOutcome(*owner);
                        nameTyped(outcomes[at], typedStart, typedNamed[at]);
                } else {
                    std::optional<std::size_t>& extra = outcomeOfExtra[typedStart];
                    if (!extra) {
                        extra = outcomes.size();
                        CharOutcome outcome;
                        outcome.Result = CharResult::Extra;
                        outcome.Typed = typedText.substr(typedStart, CharacterLength(typedPlaces, typedStart));
                        outcomes.push_back(std::move(outcome));
                        missingBytes.push_back(0);
                        typedNamed.emplace_back();
                    }
                    at = *extra;
                }
                outcomes[at].WrongCount += 1;
                break;
            }
        }
    }

    // Each sent character's result from what its steps added up to.
    std::vector<CharOutcome> result;
    result.reserve(outcomes.size());
    for (std::size_t at = 0; at < outcomes.size(); ++at) {
        CharOutcome& outcome = outcomes[at];
        if (outcome.Result != CharResult::Extra) {
            if (missingBytes[at] == outcome.Sent.size()) {
                outcome.Result = CharResult::Missing;
            } else if (outcome.WrongCount == 0 && outcome.MissingCount == 0) {
                outcome.Result = CharResult::Right;
            } else {
                outcome.Result = CharResult::Wrong;
            }
        }
        // The leading space of the sent line is no character of the group;
        // answered by the answer's leading space it says nothing.
        const bool groupStart = outcomeOfSent[0] && *outcomeOfSent[0] == at;
        if (groupStart && outcome.Result == CharResult::Right) continue;
        result.push_back(std::move(outcome));
    }
    return result;
}

}  // namespace rivek
