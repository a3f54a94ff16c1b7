#include "drill/trial_controller.h"

#include <utility>

#include "drill/group_draw.h"

namespace rivek {
namespace {

// The prompt after Reset, " Enter で開始" in code page 932; its first character is an ASCII space.
constexpr std::string_view kResetPrompt = " Enter \x82\xc5\x8a\x4a\x8e\x6e";

// A field's value limited to its range. The window clamps a field when it
// loses the focus, so while the answer field has it this changes nothing;
// it only keeps an out-of-range text from reaching the image builder.
std::int32_t FieldValue(const WindowPort& window, Setting setting) {
    return RangeOf(setting).Clamp(window.SpinValue(setting));
}

}  // namespace

TrialController::TrialController(WindowPort& window, SoundService& sound,
                                 std::function<std::uint32_t()> seedClock)
    : window_(window), sound_(sound), seedClock_(std::move(seedClock)) {}

void TrialController::FormCreate() {
    // The pool keeps only bytes with a code, so the table comes first.
    ResetCodeTable(codeTable_);
    LoadSettings(window_);
    LoadCharPool(pool_, codeTable_);
    counters_ = DrillCounters{};
    random_.Seed(seedClock_());
    waveStream_.clear();
    sentText_.clear();
}

void TrialController::Edit1Keypress(char& key) {
    if (key != kEnterKey) return;
    key = 0;  // the answer field never receives the Enter

    // Nothing may read the old image once it is rebuilt below.
    sound_.Stop();

    const std::string answer = window_.AnswerText();
    prn(counters_, window_, window_, sentText_, answer);
    window_.SetAnswerText("");
    window_.RepaintNow();

    // The group length is read now, once: a change made while the last
    // group sounded applies from this group on.
    sentText_ = DrawGroup(pool_, random_, FieldValue(window_, Setting::GroupLength));

    StartTiming(timing_);
    BuildTiming(timing_, codeTable_, sentText_);
    BuildWave(waveStream_, timing_.Durations(), FieldValue(window_, Setting::Frequency),
              FieldValue(window_, Setting::Speed));

    sound_.Play(waveStream_);
}

void TrialController::Button1Click() {
    sound_.Stop();
    counters_ = DrillCounters{};
    window_.Clear();
    // The labels show the state before the first group of the new drill:
    // nothing counted, group number 1.
    const DrillCounters firstGroup{1, 0, 0};
    for (const ScoreLabel label :
         {ScoreLabel::Wrong, ScoreLabel::Missing, ScoreLabel::Penalty, ScoreLabel::TrialNo}) {
        window_.SetLabelText(label, LabelText(label, firstGroup));
    }
    window_.SetAnswerText(kResetPrompt);
    window_.FocusAnswer();
}

void TrialController::CheckBox1Click() {
    // Only the table changes; the group sounding keeps its image.
    SetNumeralMode(codeTable_, window_.NumeralsAbbreviated());
}

void TrialController::FormClose() {
    SaveSettings(window_);
    // The image is released only once the sound service no longer reads it.
    sound_.Stop();
    WaveStream().swap(waveStream_);
}

}  // namespace rivek
