// A main window without a toolkit: three spin fields that behave as the
// real ones (reading converts the text and gives the minimum for a text
// that is not a number, setting clamps), an answer field, the result box as
// a list of segments, the four labels and the numeral box. Every call that
// changes something is written to the CallLog.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "drill/integer_text.h"
#include "drill/ports.h"
#include "drill/spin_range.h"
#include "fakes/call_log.h"

namespace rivek::testing {

class FakeWindow : public WindowPort {
public:
    struct Segment {
        std::string text;
        Rgb colour;
    };

    // Code page 932 bytes of the layout's texts.
    static constexpr std::string_view kStartPrompt =
        "\x81\x40" "Enter \x82\xc5\x8a\x4a\x8e\x6e";  // full-width space first

    explicit FakeWindow(CallLog& log) : log_(&log) {
        for (const Setting s : {Setting::Frequency, Setting::Speed, Setting::GroupLength}) {
            SpinText(s) = std::to_string(RangeOf(s).initial);
        }
        labels_[Index(ScoreLabel::Wrong)] = "\x8c\xeb\x8e\x9a\x81\x46" "0";
        labels_[Index(ScoreLabel::Missing)] = "\x92\x45\x8e\x9a\x81\x46" "0";
        labels_[Index(ScoreLabel::Penalty)] = "\x8c\xb8\x93\x5f\x81\x46" "0";
        labels_[Index(ScoreLabel::TrialNo)] = "No.1";
    }

    // SettingsFields
    std::int32_t SpinValue(Setting setting) const override {
        return ConvertSpinText(SpinText(setting)).value_or(RangeOf(setting).minimum);
    }
    void SetSpinValue(Setting setting, std::int32_t value) override {
        log_->Add("SetSpin " + std::to_string(Index(setting)) + " " + std::to_string(value));
        SpinText(setting) = std::to_string(RangeOf(setting).Clamp(value));
    }

    // ResultView
    void Clear() override {
        log_->Add("Clear");
        result_.clear();
    }
    void AppendBold(std::string_view text, Rgb colour) override {
        log_->Add("Append " + std::string(text));
        result_.push_back({std::string(text), colour});
    }

    // ScoreLabels
    void SetLabelText(ScoreLabel label, std::string_view text) override {
        log_->Add("Label " + std::string(text));
        labels_[Index(label)] = std::string(text);
    }

    // WindowPort
    std::string AnswerText() const override {
        log_->Add("AnswerText");
        return answer_;
    }
    void SetAnswerText(std::string_view text) override {
        log_->Add("SetAnswer " + std::string(text));
        answer_ = std::string(text);
    }
    void FocusAnswer() override { log_->Add("Focus"); }
    void RepaintNow() override { log_->Add("Repaint"); }
    bool NumeralsAbbreviated() const override { return abbreviated_; }

    // What a user does to the window, unlogged.
    std::string& SpinText(Setting setting) { return spinTexts_[Index(setting)]; }
    const std::string& SpinText(Setting setting) const { return spinTexts_[Index(setting)]; }
    void TypeAnswer(std::string text) { answer_ = std::move(text); }
    void TickNumerals(bool ticked) { abbreviated_ = ticked; }

    const std::string& Answer() const { return answer_; }
    const std::string& Label(ScoreLabel label) const { return labels_[Index(label)]; }
    const std::vector<Segment>& Result() const { return result_; }

private:
    static std::size_t Index(Setting s) { return static_cast<std::size_t>(s); }
    static std::size_t Index(ScoreLabel l) { return static_cast<std::size_t>(l); }

    CallLog* log_;
    std::array<std::string, 3> spinTexts_;
    std::array<std::string, 4> labels_;
    std::string answer_{kStartPrompt};
    std::vector<Segment> result_;
    bool abbreviated_ = false;
};

}  // namespace rivek::testing
