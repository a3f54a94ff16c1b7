// Sound files of practice audio through libsndfile: the format a name asks
// for, each format read back by an independent reader (sox), WAV to a pipe
// the same bytes as to a file, and every failed write noticed, whichever
// encoder the library uses.
#include "audio_file/sound_file_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "drill/practice_audio.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "tone/wave_builder.h"

namespace rivek {
namespace {

using rivek::testing::TempDir;

bool HaveSox() { return std::system("command -v sox >/dev/null 2>&1") == 0; }

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

// Keeps the samples it passes on, to compare with what is read back.
class TeeSink : public SampleSink {
public:
    explicit TeeSink(SampleSink& next) : next_(next) {}
    bool Write(std::span<const std::int16_t> block) override {
        samples.insert(samples.end(), block.begin(), block.end());
        return next_.Write(block);
    }
    std::vector<std::int16_t> samples;

private:
    SampleSink& next_;
};

PracticePlan SmallPlan() {
    CharPool pool;
    for (const char c : std::string("PARIS0?")) pool.CharPool[static_cast<std::size_t>(pool.PoolLength++)] = static_cast<unsigned char>(c);
    RandomSource random(3);
    PracticeAudioSettings settings;
    settings.groupCount = 6;
    settings.groupLength = 5;
    settings.tone.riseTimeMs = 5;
    settings.pauseMs = 500;
    return PlanPracticeAudio(pool, random, settings);
}

// Writes the plan through a writer on `fd`; the samples sent, or nothing
// when the writer failed (with `error` set).
std::vector<std::int16_t> WritePlan(int fd, SoundFileFormat format, const PracticePlan& plan, std::string& error) {
    auto writer = SoundFileWriter::Open(fd, format, plan.totalSamples, error);
    if (!writer) return {};
    TeeSink tee(*writer);
    const PracticeAudioOutcome outcome = StreamPracticeAudio(plan, tee);
    const bool finished = writer->Finish(error);
    if (outcome != PracticeAudioOutcome::Done || !finished) return {};
    return tee.samples;
}

TEST(SoundFileWriterTest, FormatOfAFileName) {
    struct Case {
        const char* path;
        std::optional<SoundFileFormat> format;
    };
    const Case cases[] = {
        {"drill.wav", SoundFileFormat::Wav},     {"DRILL.WAV", SoundFileFormat::Wav},
        {"a/b.c/drill.flac", SoundFileFormat::Flac}, {"drill.ogg", SoundFileFormat::OggVorbis},
        {"drill.oga", SoundFileFormat::OggVorbis}, {"drill.Mp3", SoundFileFormat::Mp3},
        {"drill.aiff", std::nullopt},            {"drill", std::nullopt},
        {".wav", std::nullopt},                  {"sounds.mp3/drill", std::nullopt},
        {"drill.wav.txt", std::nullopt},         {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SoundFileFormatOfPath(c.path), c.format);
    }
    EXPECT_EQ(SoundFileFormatNamed("OGG"), SoundFileFormat::OggVorbis);
    EXPECT_EQ(SoundFileFormatNamed("oga"), std::nullopt);
    EXPECT_EQ(SoundFileFormatNamed("aiff"), std::nullopt);
}

// Every format at 11025 Hz mono, read back by sox: WAV and FLAC hand back
// every sample; the lossy ones keep the length (MP3 adds the encoder's
// delay and padding, under two frames of 576 samples and a 1152 lead).
TEST(SoundFileWriterTest, SoxReadsBackEveryFormat) {
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
    struct Case {
        SoundFileFormat format;
        const char* extension;
        bool lossless;
        std::int64_t extraSamplesAtMost;
    };
    const Case cases[] = {
        {SoundFileFormat::Wav, "wav", true, 0},
        {SoundFileFormat::Flac, "flac", true, 0},
        {SoundFileFormat::OggVorbis, "ogg", false, 0},
        {SoundFileFormat::Mp3, "mp3", false, 1152 + 2 * 576},
    };
    const TempDir dir;
    const PracticePlan plan = SmallPlan();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        ASSERT_TRUE(SoundFileFormatAvailable(c.format));
        const std::string path = (dir / (std::string("drill.") + c.extension)).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        std::string error;
        const std::vector<std::int16_t> sent = WritePlan(fd, c.format, plan, error);
        ::close(fd);
        ASSERT_EQ(static_cast<std::int64_t>(sent.size()), plan.totalSamples) << error;

        EXPECT_EQ(Shell("soxi -r " + path), "11025\n");
        EXPECT_EQ(Shell("soxi -c " + path), "1\n");
        const std::int64_t samples = std::stoll(Shell("soxi -s " + path));
        EXPECT_GE(samples, plan.totalSamples);
        EXPECT_LE(samples, plan.totalSamples + c.extraSamplesAtMost);
        if (c.lossless) {
            const std::string raw = Shell("sox " + path + " -t raw -e signed-integer -b 16 -L -");
            ASSERT_EQ(raw.size(), 2 * sent.size());
            std::vector<std::int16_t> read(sent.size());
            for (std::size_t i = 0; i < read.size(); ++i) {
                read[i] = static_cast<std::int16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                                    static_cast<unsigned char>(raw[2 * i + 1]) << 8);
            }
            EXPECT_TRUE(read == sent) << "sox reads other samples";
        }
    }
}

// A pipe cannot go back to a header: WAV gets its header first, from the
// known length, and the bytes are those of the file.
TEST(SoundFileWriterTest, WavToAPipeIsTheWavOfAFile) {
    const TempDir dir;
    const PracticePlan plan = SmallPlan();
    const std::string path = (dir / "drill.wav").string();
    const int fileFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fileFd, 0);
    std::string error;
    ASSERT_FALSE(WritePlan(fileFd, SoundFileFormat::Wav, plan, error).empty()) << error;
    ::close(fileFd);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string piped;
    std::thread reader([&piped, in = ends[0]] {
        char buffer[65536];
        ssize_t got = 0;
        while ((got = ::read(in, buffer, sizeof buffer)) > 0) piped.append(buffer, static_cast<std::size_t>(got));
        ::close(in);
    });
    const bool written = !WritePlan(ends[1], SoundFileFormat::Wav, plan, error).empty();
    ::close(ends[1]);
    reader.join();
    ASSERT_TRUE(written) << error;
    EXPECT_TRUE(piped == TempDir::ReadFile(path));
    EXPECT_EQ(piped.size(), kWaveHeaderBytes + 2 * static_cast<std::size_t>(plan.totalSamples));
}

// Two outputs that stop taking bytes: /dev/full refuses every one, and a
// file under an 8 KiB size limit takes the first 8 KiB and refuses the
// rest (the limit set in a child, with SIGXFSZ ignored so the write fails
// instead of the process; every format's file is larger). Some of the library's encoders (MP3 among them)
// only log a short write, and a file cut short would then take the place
// of a good one; the writer must notice every failure.
TEST(SoundFileWriterTest, EveryFailedWriteIsNoticed) {
    const TempDir dir;
    const PracticePlan plan = SmallPlan();
    for (const SoundFileFormat format :
         {SoundFileFormat::Wav, SoundFileFormat::Flac, SoundFileFormat::OggVorbis, SoundFileFormat::Mp3}) {
        SCOPED_TRACE(SoundFileFormatTitle(format));
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (full >= 0) {
            std::string error;
            EXPECT_TRUE(WritePlan(full, format, plan, error).empty());
            EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
            ::close(full);
        }

        const std::string path = (dir / "limited").string();
        const int status = rivek::testing::RunInChild(
            [&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{8 * 1024, 8 * 1024};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return rivek::testing::kChildSkipped;
                const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                std::string error;
                const bool failed = WritePlan(fd, format, plan, error).empty();
                return failed && error.find("File too large") != std::string::npos ? 0 : 1;
            },
            false);
        EXPECT_EQ(status, 0) << "a write beyond the size limit went unnoticed";
    }
}

TEST(SoundFileWriterTest, LimitsOfTheFormats) {
    EXPECT_EQ(MaxSoundFileSamples(SoundFileFormat::Wav), kMaxWaveSamples);
    EXPECT_EQ(MaxSoundFileSamples(SoundFileFormat::Flac), (std::int64_t{1} << 36) - 1);
    EXPECT_EQ(MaxSoundFileSamples(SoundFileFormat::Mp3), INT64_MAX);

    // A WAV to a pipe that its header could not describe is refused before
    // a byte is written.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string error;
    EXPECT_EQ(SoundFileWriter::Open(ends[1], SoundFileFormat::Wav, kMaxWaveSamples + 1, error), nullptr);
    EXPECT_FALSE(error.empty());
    ::close(ends[1]);
    char byte = 0;
    EXPECT_EQ(::read(ends[0], &byte, 1), 0);
    ::close(ends[0]);
}

}  // namespace
}  // namespace rivek
