// The trial controller: the drill state and the five operations that the
// main window's events run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "checking/scoring.h"
#include "drill/drill_files.h"
#include "drill/ports.h"
#include "morse/code_table.h"
#include "morse/timing.h"
#include "platform/random_source.h"
#include "tone/wave_builder.h"

namespace rivek {

inline constexpr char kEnterKey = 13;

class TrialController {
public:
    // `seedClock` gives the generator's seed at start-up; by default the
    // milliseconds since midnight UTC.
    TrialController(WindowPort& window, SoundService& sound,
                    std::function<std::uint32_t()> seedClock = MillisecondsSinceMidnightUtc);

    // Start-up: code table, settings, pool, counters, seed, empty image.
    void FormCreate();
    // A character key reached the answer field. Enter (13) runs a trial and
    // is replaced by 0 so the field never receives it: stop the sound, score
    // the answer, empty the field, repaint, draw a group of the length the
    // field shows now, encode it, build its image, play it. Any other key is
    // left as it is. When memory for the image runs out, std::bad_alloc
    // leaves here before the play request, with the new group in SentText.
    void Edit1Keypress(char& key);
    // Reset: stop the sound, counters to 0, result box cleared, labels and
    // the prompt (with an ASCII space) restored, focus to the answer field.
    void Button1Click();
    // The abbreviated-numerals box changed.
    void CheckBox1Click();
    // The window closes: settings saved, then the sound stopped, then the
    // image released.
    void FormClose();

    const DrillCounters& Counters() const { return counters_; }
    const std::string& SentText() const { return sentText_; }
    const CharPool& Pool() const { return pool_; }
    const CodeTable& Codes() const { return codeTable_; }
    const WaveStream& Wave() const { return waveStream_; }

private:
    WindowPort& window_;
    SoundService& sound_;
    std::function<std::uint32_t()> seedClock_;

    CodeTable codeTable_;
    CharPool pool_;
    DrillCounters counters_;
    RandomSource random_;
    TimingList timing_;
    WaveStream waveStream_;
    std::string sentText_;
};

}  // namespace rivek
