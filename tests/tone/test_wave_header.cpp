#include "tone/wave_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "morse/code_table.h"
#include "morse/timing.h"
#include "tone/wave_builder.h"

namespace rivek {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// An image of the tone builder: group E at 800 Hz, speed 100.
Bytes ImageOfE() {
    CodeTable table;
    ResetCodeTable(table);
    TimingList timing;
    StartTiming(timing);
    BuildTiming(timing, table, "E");
    WaveStream image;
    BuildWave(image, timing.Durations(), 800, 100);
    return image;
}

TEST(ReadWaveImageTest, ReadsTheToneBuildersImage) {
    const Bytes image = ImageOfE();
    const auto wave = ReadWaveImage(image);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->sampleRateHz, 11025);
    EXPECT_EQ(wave->channelCount, 1);
    EXPECT_EQ(wave->bitsPerSample, 16);
    EXPECT_EQ(wave->samples.data(), image.data() + 44);  // no copy
    EXPECT_EQ(wave->samples.size(), image.size() - 44);
}

TEST(ReadWaveImageTest, SkipsOtherChunksAndCutsPartialFrames) {
    Bytes image = ImageOfE();
    // A 3-byte "LIST" chunk (padded to 4) between "fmt " and "data".
    const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    image.insert(image.begin() + 36, list.begin(), list.end());
    image.push_back(0x7f);  // one byte after the data: not part of it
    Put32(image, 52, static_cast<std::uint32_t>(image.size() - 56));  // odd data size
    const auto wave = ReadWaveImage(image);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->samples.data(), image.data() + 56);
    EXPECT_EQ(wave->samples.size(), image.size() - 57);
}

TEST(ReadWaveImageTest, RejectsMalformedImages) {
    const Bytes good = ImageOfE();
    struct Case {
        const char* name;
        std::function<void(Bytes&)> spoil;
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"header cut short", [](Bytes& b) { b.resize(30); }},
        {"no RIFF tag", [](Bytes& b) { b[0] = 'X'; }},
        {"no WAVE tag", [](Bytes& b) { b[8] = 'X'; }},
        {"data beyond the image", [](Bytes& b) { b.resize(b.size() - 2); }},
        {"data size huge", [](Bytes& b) { Put32(b, 40, 0xFFFFFFFFu); }},
        {"fmt chunk beyond the image", [](Bytes& b) { Put32(b, 16, 0xFFFFFFF0u); }},
        {"fmt chunk too short", [](Bytes& b) { Put32(b, 16, 8); }},
        {"not PCM", [](Bytes& b) { Put16(b, 20, 3); }},
        {"no channels", [](Bytes& b) { Put16(b, 22, 0); }},
        {"six channels", [](Bytes& b) { Put16(b, 22, 6); }},
        {"rate zero", [](Bytes& b) { Put32(b, 24, 0); }},
        {"24 bits", [](Bytes& b) { Put16(b, 34, 24); }},
        {"block align wrong", [](Bytes& b) { Put16(b, 32, 4); }},
        {"no data chunk", [](Bytes& b) { std::memcpy(&b[36], "junk", 4); }},
        {"data before fmt", [](Bytes& b) { std::memcpy(&b[12], "data", 4); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes image = good;
        c.spoil(image);
        EXPECT_FALSE(ReadWaveImage(image));
    }
}

}  // namespace
}  // namespace rivek
