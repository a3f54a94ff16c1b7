// A result view and score labels that record what the scoring writes.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checking/scoring.h"

namespace rivek::testing {

struct Segment {
    std::string text;
    Rgb colour;
    friend bool operator==(const Segment&, const Segment&) = default;
};

class RecordingView : public ResultView {
public:
    void Clear() override {
        ++clears;
        segments.clear();
    }
    void AppendBold(std::string_view text, Rgb colour) override { segments.push_back({std::string(text), colour}); }

    int clears = 0;
    std::vector<Segment> segments;
};

class RecordingLabels : public ScoreLabels {
public:
    void SetLabelText(ScoreLabel label, std::string_view text) override { writes.emplace_back(label, std::string(text)); }

    std::vector<std::pair<ScoreLabel, std::string>> writes;
};

}  // namespace rivek::testing
