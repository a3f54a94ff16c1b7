// The per-character outcomes of a trial as the bytes of one database field.
// Most characters take two bytes: a flag byte and the sent character; the
// typed character is left out when it equals the sent one, and the counts
// when they are the usual ones for the result.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checking/char_outcome.h"

namespace rivek {

std::string EncodeOutcomes(const std::vector<CharOutcome>& outcomes);

// nullopt for bytes that EncodeOutcomes did not make (a damaged field).
std::optional<std::vector<CharOutcome>> DecodeOutcomes(std::string_view bytes);

}  // namespace rivek
