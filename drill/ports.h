// What the drill needs of the window and of the sound device. The window
// and the platform implement these; tests use fakes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "checking/scoring.h"
#include "drill/spin_range.h"

namespace rivek {

// The three spin fields, as the settings file reads and writes them.
class SettingsFields {
public:
    virtual ~SettingsFields() = default;
    // The field's text as a whole number, or its minimum when the text is
    // not a number. Never clamps.
    virtual std::int32_t SpinValue(Setting setting) const = 0;
    // The value, limited to the field's range, becomes its decimal text.
    virtual void SetSpinValue(Setting setting, std::int32_t value) = 0;
};

// Everything the trial controller needs of the main window.
class WindowPort : public SettingsFields, public ResultView, public ScoreLabels {
public:
    // The answer field's text, code page 932.
    virtual std::string AnswerText() const = 0;
    virtual void SetAnswerText(std::string_view text) = 0;
    // Gives the answer field the keyboard focus with its whole text selected.
    virtual void FocusAnswer() = 0;
    // Paints the window at once, handling no input.
    virtual void RepaintNow() = 0;
    // Whether the abbreviated-numerals box is ticked.
    virtual bool NumeralsAbbreviated() const = 0;
};

// What a trial needs from audio. Play() returns at once and the image keeps
// playing; the image must stay unchanged until Stop() has returned. Stop()
// returns only when nothing reads the old image any more. Neither reports
// failure: without a sound device the drill goes on silently.
class SoundService {
public:
    virtual ~SoundService() = default;
    virtual void Play(std::span<const std::uint8_t> waveImage) = 0;
    virtual void Stop() = 0;
};

}  // namespace rivek
