// The answer alignment, from an everyday answer to the longest one the
// answer field takes, against a group of 15. The fill is linear in the
// answer's length; the per-length figures and the fitted complexity show it.
// Then the per-character outcomes read off one alignment.
#include <benchmark/benchmark.h>

#include <string>

#include "checking/alignment.h"
#include "checking/char_outcome.h"

namespace {

const std::string kGroup = "ABCDEFGHIJKLMNO";

// An answer of `length` bytes: the group with a few slips, then letters
// repeated from it, so that ties and long runs both occur.
std::string Answer(std::size_t length) {
    std::string answer = "ABCDXFGHIJLMNOP";
    while (answer.size() < length) answer += "KLMNOABC ";
    answer.resize(length);
    return answer;
}

void BM_AlignAnswer(benchmark::State& state) {
    const std::string answer = Answer(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(rivek::AlignAnswer(kGroup, answer));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AlignAnswer)
    ->Arg(15)
    ->Arg(4096)
    ->Arg(8192)
    ->Arg(16384)
    ->Arg(32767)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

// The per-character outcomes a history records, read off the alignment the
// scoring made, for a group of 15 and an everyday answer with slips.
void BM_CharOutcomes(benchmark::State& state) {
    const rivek::AnswerAlignment alignment = rivek::AlignAnswer(kGroup, Answer(18));
    for (auto _ : state) {
        benchmark::DoNotOptimize(rivek::CharOutcomes(alignment));
    }
}
BENCHMARK(BM_CharOutcomes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
