#include "drill/practice_audio.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "drill/group_draw.h"
#include "morse/code_table.h"
#include "morse/timing.h"

namespace rivek {
namespace {

CodeTable TableFor(const PracticeAudioSettings& settings) {
    CodeTable table;
    ResetCodeTable(table);
    SetNumeralMode(table, settings.abbreviatedNumerals);
    return table;
}

// Collects samples into blocks for the sink and reports progress.
class BlockWriter {
public:
    BlockWriter(SampleSink& sink, std::int64_t total,
                const std::function<void(std::int64_t, std::int64_t)>& progress, std::stop_token stop)
        : sink_(sink), total_(total), progress_(progress), stop_(std::move(stop)) {
        block_.reserve(kPracticeBlockSamples);
    }

    // Appends little-endian samples (an image's data).
    PracticeAudioOutcome AppendLe16(std::span<const std::uint8_t> bytes) {
        for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
            block_.push_back(static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8));
            if (block_.size() == kPracticeBlockSamples) {
                if (const auto outcome = Flush(); outcome != PracticeAudioOutcome::Done) return outcome;
            }
        }
        return PracticeAudioOutcome::Done;
    }

    PracticeAudioOutcome AppendSilence(std::int64_t count) {
        while (count > 0) {
            const auto room = static_cast<std::int64_t>(kPracticeBlockSamples - block_.size());
            const std::int64_t take = std::min(count, room);
            block_.insert(block_.end(), static_cast<std::size_t>(take), std::int16_t{0});
            count -= take;
            if (block_.size() == kPracticeBlockSamples) {
                if (const auto outcome = Flush(); outcome != PracticeAudioOutcome::Done) return outcome;
            }
        }
        return PracticeAudioOutcome::Done;
    }

    PracticeAudioOutcome Flush() {
        if (block_.empty()) return PracticeAudioOutcome::Done;
        if (stop_.stop_requested()) return PracticeAudioOutcome::Cancelled;
        if (!sink_.Write(block_)) return PracticeAudioOutcome::SinkFailed;
        done_ += static_cast<std::int64_t>(block_.size());
        block_.clear();
        if (progress_) progress_(done_, total_);
        return PracticeAudioOutcome::Done;
    }

private:
    SampleSink& sink_;
    std::int64_t total_;
    const std::function<void(std::int64_t, std::int64_t)>& progress_;
    std::stop_token stop_;
    std::vector<std::int16_t> block_;
    std::int64_t done_ = 0;
};

}  // namespace

PracticePlan PlanPracticeAudio(const CharPool& pool, RandomSource& random, const PracticeAudioSettings& settings) {
    PracticePlan plan;
    plan.settings = settings;
    plan.settings.pauseMs = std::clamp(settings.pauseMs, 0, kMaxPracticePauseMs);
    plan.pauseSamples = SamplesOfMilliseconds(plan.settings.pauseMs);
    const CodeTable table = TableFor(settings);
    const std::int32_t count = std::max(settings.groupCount, 0);
    plan.groups.reserve(static_cast<std::size_t>(count));
    plan.groupSamples.reserve(static_cast<std::size_t>(count));
    TimingList timing;
    for (std::int32_t i = 0; i < count; ++i) {
        plan.groups.push_back(DrawGroup(pool, random, settings.groupLength));
        StartTiming(timing);
        BuildTiming(timing, table, plan.groups.back());
        const std::size_t imageBytes =
            WaveImageSize(timing.Durations(), settings.frequencyHz, settings.speedParis, settings.tone);
        const auto samples = static_cast<std::int64_t>((imageBytes - kWaveHeaderBytes) / 2);
        plan.groupSamples.push_back(samples);
        // A group has at most kMaxWaveSamples (2^30) and a pause 661,500,
        // so the total of fewer than 2^31 groups stays below 2^62.
        plan.totalSamples += samples + (i > 0 ? plan.pauseSamples : 0);
    }
    return plan;
}

PracticeAudioOutcome StreamPracticeAudio(const PracticePlan& plan, SampleSink& sink,
                                         const std::function<void(std::int64_t, std::int64_t)>& progress,
                                         std::stop_token stop) {
    const PracticeAudioSettings& settings = plan.settings;
    const CodeTable table = TableFor(settings);
    BlockWriter writer(sink, plan.totalSamples, progress, std::move(stop));
    TimingList timing;
    WaveStream image;
    for (std::size_t i = 0; i < plan.groups.size(); ++i) {
        if (i > 0) {
            if (const auto outcome = writer.AppendSilence(plan.pauseSamples); outcome != PracticeAudioOutcome::Done) {
                return outcome;
            }
        }
        StartTiming(timing);
        BuildTiming(timing, table, plan.groups[i]);
        BuildWave(image, timing.Durations(), settings.frequencyHz, settings.speedParis, settings.tone);
        const std::span<const std::uint8_t> samples = std::span(image).subspan(kWaveHeaderBytes);
        if (const auto outcome = writer.AppendLe16(samples); outcome != PracticeAudioOutcome::Done) return outcome;
    }
    return writer.Flush();
}

std::string PracticeAnswerKey(const std::vector<std::string>& groups) {
    std::string key;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        key += std::to_string(i + 1);
        key += ' ';
        key += groups[i];
        key += '\n';
    }
    return key;
}

}  // namespace rivek
