// The per-trial history as CSV (RFC 4180: comma separated, CR LF line ends,
// every text field in double quotes, a quote inside doubled), in UTF-8 for
// a spreadsheet. Columns:
//   time       when scored, UTC, "2026-12-11T15:47:51.123Z"
//   day        the local calendar day, "2026-12-11"
//   drill      the drill's number
//   folder     the working folder
//   pool       the characters drawn from
//   pitch_hz, speed_cpm, group_length
//   numerals   "standard" or "abbreviated"
//   sent, answer
//   outcomes   one item per character, separated by spaces: "A" right,
//              "B>R" B taken for R, "C-" C missing, "+D" D extra; a space
//              character shows as "␣"
//   wrong, missing, penalty   the scoring's counts, penalty 3 × wrong + missing
//   replays    how often the group was heard again
#pragma once

#include <string>

#include "history/trial_record.h"

namespace rivek {

// The header line, with its CR LF.
std::string TrialCsvHeader();

// One trial as one line, with its CR LF. A line break typed into the answer
// stays inside its quoted field.
std::string TrialCsvLine(const TrialRecord& trial);

}  // namespace rivek
