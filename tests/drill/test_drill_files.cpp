#include "drill/drill_files.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fakes/call_log.h"
#include "fakes/fake_window.h"
#include "support/temp_dir.h"

namespace rivek {
namespace {

namespace fs = std::filesystem;
using testing::CallLog;
using testing::FakeWindow;
using testing::TempWorkingDir;

constexpr std::int64_t kFourGiB = 4LL * 1024 * 1024 * 1024;

// What the three spin fields show.
struct Fields {
    std::int32_t frequency, speed, groupLength;
    friend bool operator==(const Fields&, const Fields&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Fields& f) {
        return out << f.frequency << ", " << f.speed << ", " << f.groupLength;
    }
};

// Every test gets a fresh working directory and a window whose fields hold
// the layout's values 800, 100 and 8.
class DrillFilesTest : public ::testing::Test {
protected:
    Fields Shown() const {
        return {window_.SpinValue(Setting::Frequency), window_.SpinValue(Setting::Speed),
                window_.SpinValue(Setting::GroupLength)};
    }
    std::string PoolText() const {
        return std::string(pool_.CharPool.begin(), pool_.CharPool.begin() + pool_.PoolLength);
    }
    void LoadPool() {
        CodeTable table;
        ResetCodeTable(table);
        LoadCharPool(pool_, table);
    }
    // The names in the working directory, sorted.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // A file of `size` bytes that starts with `head` and is a hole after it.
    static void WriteSparse(const char* name, std::string_view head, std::int64_t size) {
        TempWorkingDir::WriteFile(name, head);
        ASSERT_EQ(::truncate(name, size), 0);
    }

    TempWorkingDir dir_;
    CallLog log_;
    FakeWindow window_{log_};
    CharPool pool_;
};

// ---- LoadSettings --------------------------------------------------------

struct SettingsCase {
    const char* name;
    std::string bytes;
    Fields expected{};
};

void PrintTo(const SettingsCase& c, std::ostream* out) { *out << c.name; }

class LoadSettingsFromBytesTest : public DrillFilesTest,
                              public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(LoadSettingsFromBytesTest, FillsTheFieldsByTheReadingRules) {
    TempWorkingDir::WriteFile(kSettingsFileName, GetParam().bytes);
    LoadSettings(window_);
    EXPECT_EQ(Shown(), GetParam().expected);
}

const SettingsCase kSettingsCases[] = {
    {"AsWritten", "800\r\n100\r\n8\r\n", {800, 100, 8}},
    {"Empty", "", {100, 30, 1}},
    {"OnlyTheFirstLine", "1200", {1200, 30, 1}},
    {"ClampedToTheRanges", "9000\r\n10\r\n0\r\n", {5000, 30, 1}},
    {"NegativeValues", "-5\r\n-5\r\n-5\r\n", {100, 30, 1}},
    {"BlanksBeforeAndTextAfter", "  700 Hz\r\n120\r\n5\r\n", {700, 120, 5}},
    {"BlankLinesPassedOver", "\r\n\r\n700\r\n\r\n \t\r\n120\r\n5\r\n", {700, 120, 5}},
    {"ControlBytesAreBlanks", std::string("\0\t\x01 700\r\n120\r\n5", 15), {700, 120, 5}},
    {"SecondValueOnALineIsSkipped", "700 120\r\n5\r\n", {700, 30, 1}},
    {"LfOnlyLineEndsAreOneLine", "600\n120\n5\n", {600, 30, 1}},
    {"CrOnlyLineEnds", "600\r120\r5\r", {600, 120, 5}},
    {"ExtraLfAfterCrLfIsABlank", "600\r\n\n120\r\n\n5", {600, 120, 5}},
    {"Hexadecimal", "0x3E8\r\n$78\r\nX5\r\n", {1000, 120, 5}},
    {"HexMinusOneClamps", "$FFFFFFFF\r\n$FFFFFFFF\r\n$FFFFFFFF\r\n", {100, 30, 1}},
    {"DigitsFollowedByLetters", "800Hz\r\n120\r\n5\r\n", {800, 120, 5}},
    {"MalformedFirstValueKeepsTheField", "1.5e3\r\n120\r\n5\r\n", {800, 120, 5}},
    {"OutOfInt32KeepsTheField", "99999999999\r\n-99999999999\r\n5\r\n", {800, 100, 5}},
    {"KanaBytesDoNotConvert", "\xb1\xb2\r\n120\r\n5\r\n", {800, 120, 5}},
    {"EndOfTextByteStopsReading", "700\r\n\x1a" "120\r\n5\r\n", {700, 30, 1}},
    {"EndOfTextByteInsideANumber", "7\x1a" "00\r\n120\r\n5\r\n", {100, 30, 1}},
    {"ThirtyTwoByteRunConverts", "00000000000000000000000000001200\r\n120\r\n5", {1200, 120, 5}},
    // A 33-byte run is cut after 32 bytes: 29 zeros and 120; the last 0 goes
    // with the rest of the line.
    {"LongerRunIsCutAt32Bytes", "000000000000000000000000000001200\r\n120\r\n5", {120, 120, 5}},
    {"LastValueWithoutLineEnd", "700\r\n120\r\n5", {700, 120, 5}},
    // A text editor's UTF-8 byte-order mark is passed over at the start of
    // the file, and only there.
    {"ByteOrderMarkPassedOver", "\xEF\xBB\xBF" "1200\r\n300\r\n15\r\n", {1200, 300, 15}},
    {"ByteOrderMarkAlone", "\xEF\xBB\xBF", {100, 30, 1}},
    {"ByteOrderMarkOnTheSecondLine", "1200\r\n\xEF\xBB\xBF" "300\r\n15\r\n", {1200, 100, 15}},
    {"HalfAByteOrderMark", "\xEF\xBB" "1200\r\n300\r\n15\r\n", {800, 300, 15}},
};

INSTANTIATE_TEST_SUITE_P(Files, LoadSettingsFromBytesTest, ::testing::ValuesIn(kSettingsCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(DrillFilesTest, SettingsFileMissingChangesNothing) {
    LoadSettings(window_);
    EXPECT_EQ(Shown(), (Fields{800, 100, 8}));
    EXPECT_TRUE(log_.Entries().empty());
}

TEST_F(DrillFilesTest, SettingsFileThatIsNoRegularFileCountsAsMissing) {
    const std::function<void()> makers[] = {
        [] { fs::create_directory(kSettingsFileName); },
        [] { ASSERT_EQ(::mkfifo(kSettingsFileName, 0644), 0); },  // no writer: must not block
        [] { fs::create_symlink("nowhere.ini", kSettingsFileName); },
        [] { fs::create_symlink("/dev/zero", kSettingsFileName); },
    };
    for (std::size_t i = 0; i < std::size(makers); ++i) {
        SCOPED_TRACE("kind " + std::to_string(i));
        fs::remove_all(kSettingsFileName);
        makers[i]();
        LoadSettings(window_);
        EXPECT_EQ(Shown(), (Fields{800, 100, 8}));
    }
}

TEST_F(DrillFilesTest, HugeSettingsFileWithoutLineEndIsReadOnlyAsFarAsTheLimit) {
    // Gigabytes of NUL after the first value: skipping "the rest of the
    // line" stops at the read limit instead of walking the whole file.
    WriteSparse(kSettingsFileName, "700 ", kFourGiB);
    LoadSettings(window_);
    EXPECT_EQ(Shown(), (Fields{700, 30, 1}));

    // A value behind the limit is never seen.
    std::string bytes = "700 " + std::string(kSettingsReadLimit, 'x') + "\r\n120\r\n5\r\n";
    TempWorkingDir::WriteFile(kSettingsFileName, bytes);
    LoadSettings(window_);
    EXPECT_EQ(Shown(), (Fields{700, 30, 1}));
}

// ---- LoadCharPool --------------------------------------------------------

struct PoolCase {
    const char* name;
    std::string bytes;
    std::string pool;
};

void PrintTo(const PoolCase& c, std::ostream* out) { *out << c.name; }

class LoadCharPoolFromBytesTest : public DrillFilesTest,
                              public ::testing::WithParamInterface<PoolCase> {};

TEST_P(LoadCharPoolFromBytesTest, KeepsTheCodedBytesOfTheFirstLine) {
    TempWorkingDir::WriteFile(kCharSetFileName, GetParam().bytes);
    LoadPool();
    EXPECT_EQ(PoolText(), GetParam().pool);
}

const PoolCase kPoolCases[] = {
    {"LowerCaseCountsAsCapitals", "qrs", "QRS"},
    {"RepeatsStay", "QQQK", "QQQK"},
    {"UncodedBytesPassedOver", "AAEEIT, 123", "AAEEIT,123"},
    {"SignsAndKana", "'(),.?\xb1\xb2\xdd", "'(),.?\xb1\xb2\xdd"},
    {"OnlyTheFirstLine", "ABC\r\nXYZ\r\n", "ABC"},
    {"CrOnly", "ABC\rXYZ\r", "ABC"},
    {"LfOnlyIsOneLine", "ABC\nXYZ\n", "ABCXYZ"},
    {"OnlyBlanksGivesAnEmptyPool", "   \r\nABC", ""},
    {"OnlyUncodedGivesAnEmptyPool", "/=-+", ""},
    {"EmptyFile", "", ""},
    {"EmptyFirstLine", "\r\nABC", ""},
    {"NulCutsTheLine", std::string("AB\0CD", 5), "AB"},
    {"EndOfTextByte", "AB\x1a" "CD", "AB"},
    {"DoubleByteCharacterIsTestedBytewise", "\x82\x60" "E", "E"},  // Ａ: 82 60, neither coded
    // The second byte of a double-byte character is not upper-cased: 82 61
    // is Ｂ, and its "a" stays lower case, without a code.
    {"SecondByteIsNotUpperCased", "\x82" "aE", "E"},
    // The same with the lead byte as the last byte of a 4096-byte piece.
    {"SecondByteAcrossAReadPiece", std::string(4094, ' ') + "b\x82" "aE", "BE"},
};

INSTANTIATE_TEST_SUITE_P(Files, LoadCharPoolFromBytesTest, ::testing::ValuesIn(kPoolCases),
                         [](const auto& c) { return std::string(c.param.name); });

// A character-set file written as UTF-8 (by a text editor) gives exactly the
// pool of its code page 932 twin: kana half-width or full-width, hiragana,
// full-width letters, with or without a byte-order mark.
struct Utf8PoolCase {
    const char* name;
    std::string utf8;
    std::string cp932;
};

void PrintTo(const Utf8PoolCase& c, std::ostream* out) { *out << c.name; }

class LoadCharPoolUtf8Test : public DrillFilesTest, public ::testing::WithParamInterface<Utf8PoolCase> {};

TEST_P(LoadCharPoolUtf8Test, GivesThePoolOfTheCodePage932Twin) {
    TempWorkingDir::WriteFile(kCharSetFileName, GetParam().cp932);
    LoadPool();
    const std::string twin = PoolText();
    for (const std::string& bom : {std::string(), std::string("\xEF\xBB\xBF")}) {
        SCOPED_TRACE(bom.empty() ? "without a byte-order mark" : "with a byte-order mark");
        TempWorkingDir::WriteFile(kCharSetFileName, bom + GetParam().utf8);
        LoadPool();
        EXPECT_EQ(PoolText(), twin);
    }
}

const Utf8PoolCase kUtf8PoolCases[] = {
    {"HalfWidthKana", "ｱｶｻﾀﾅ\r\n", "\xB1\xB6\xBB\xC0\xC5\r\n"},
    {"FullWidthKatakana", "アカサタナ", "\xB1\xB6\xBB\xC0\xC5"},
    {"Hiragana", "あかさたな", "\xB1\xB6\xBB\xC0\xC5"},
    {"VoicedAndMarks", "ガパー、」ヰヱ", "\xB6\xDE\xCA\xDF\xB0\xA4\xA3\xA8\xAA"},
    {"FullWidthLettersAndDigits", "ＡＢｃ１２（？）", "ABC12(?)"},
    {"MixedWithAscii", "ABC ｱｲ アイ,.", "ABC \xB1\xB2 \xB1\xB2,."},
    {"RepeatsStay", "ッアアア", "\xAF\xB1\xB1\xB1"},
    {"OnlyTheFirstLine", "アイ\r\nウエ\r\n", "\xB1\xB2\r\n"},
    {"LfOnlyIsOneLine", "アイ\nウエ\n", "\xB1\xB2\n\xB3\xB4\n"},
    // 右 is 89 45 in code page 932: its second byte is an E, as in a code
    // page 932 file.
    {"KanjiStaysAKanji", "ア右イ", "\xB1\x89\x45\xB2"},
    {"CharacterWithoutACodePageForm", "ア😀€イ", "\xB1\xB2"},
    {"NulEndsTheLine", std::string("アイ\0ウ", 10), std::string("\xB1\xB2\0\xB3", 4)},
};

INSTANTIATE_TEST_SUITE_P(Files, LoadCharPoolUtf8Test, ::testing::ValuesIn(kUtf8PoolCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(DrillFilesTest, LineThatIsUtf8AndCodePage932BothWaysKeepsTheCodePage932Reading) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string pool;
    };
    const Case cases[] = {
        // ﾃｱ is C3 B1, the UTF-8 of ñ; ﾅｶ is C5 B6, Ŷ; ﾈｺ is C8 BA, Ⱥ.
        {"katakana pairs that are UTF-8", "\xC3\xB1\xC5\xB6\xC8\xBA", "\xC3\xB1\xC5\xB6\xC8\xBA"},
        {"the same among ASCII", "AB \xC3\xB1 CD", "AB\xC3\xB1" "CD"},
        // Not UTF-8 (B1 opens no sequence): bytes, as always.
        {"kana of a stored file", "\xB1\xB2\xB3\xC3\xB1", "\xB1\xB2\xB3\xC3\xB1"},
        // A byte-order mark says UTF-8: ñ has no code and is passed over.
        {"byte-order mark before the pairs", "\xEF\xBB\xBF" "A\xC3\xB1", "A"},
        // A byte-order mark before a line that is no UTF-8: the rest is read
        // as bytes.
        {"byte-order mark before code page 932 kana", "\xEF\xBB\xBF\xB1\xB2", "\xB1\xB2"},
        {"byte-order mark alone", "\xEF\xBB\xBF", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkingDir::WriteFile(kCharSetFileName, c.bytes);
        LoadPool();
        EXPECT_EQ(PoolText(), c.pool);
    }
}

TEST_F(DrillFilesTest, LongUtf8LineIsReadAcrossPiecesWithinTheLimits) {
    // Kana cut by the end of the first 64 KiB, which decide the reading, and
    // by the end of the 4 KiB piece after it.
    std::string line = "ア" + std::string(65536 - 3 - 1, ' ') + "イ";
    line += std::string(65536 + 4096 - 1 - line.size(), ' ') + "ウ";
    TempWorkingDir::WriteFile(kCharSetFileName, line + "\r\nエ");
    LoadPool();
    EXPECT_EQ(PoolText(), "\xB1\xB2\xB3");

    // The pool stops at 2048 entries; a huge line ends the reading early.
    std::string many;
    for (int i = 0; i < 3000; ++i) many += "あ";
    WriteSparse(kCharSetFileName, many, kFourGiB);
    LoadPool();
    EXPECT_EQ(PoolText(), std::string(2048, '\xB1'));

    // Characters without a code fill nothing; the read limit ends the line.
    TempWorkingDir::WriteFile(kCharSetFileName, "アイ" + std::string(kCharSetReadLimit, '/') + "ウ");
    LoadPool();
    EXPECT_EQ(PoolText(), "\xB1\xB2");
}

TEST_F(DrillFilesTest, CharSetFileMissingOrNoRegularFileGivesTheLetters) {
    const std::function<void()> makers[] = {
        [] {},
        [] { fs::create_directory(kCharSetFileName); },
        [] { ASSERT_EQ(::mkfifo(kCharSetFileName, 0644), 0); },
        [] { fs::create_symlink("nowhere.dat", kCharSetFileName); },
        [] { fs::create_symlink("/dev/zero", kCharSetFileName); },
    };
    for (std::size_t i = 0; i < std::size(makers); ++i) {
        SCOPED_TRACE("kind " + std::to_string(i));
        fs::remove_all(kCharSetFileName);
        makers[i]();
        pool_.PoolLength = 5;
        LoadPool();
        EXPECT_EQ(PoolText(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    }
}

TEST_F(DrillFilesTest, PoolStopsAt2048Entries) {
    TempWorkingDir::WriteFile(kCharSetFileName, std::string(1000, 'e') + std::string(3000, 'T'));
    LoadPool();
    EXPECT_EQ(PoolText(), std::string(1000, 'E') + std::string(1048, 'T'));
}

TEST_F(DrillFilesTest, HugeCharSetFileWithoutCrIsReadInBoundedTimeAndMemory) {
    // A full pool ends the reading long before the end of the file.
    WriteSparse(kCharSetFileName, std::string(2100, 'E'), kFourGiB);
    LoadPool();
    EXPECT_EQ(PoolText(), std::string(2048, 'E'));

    // The first NUL ends the line: a file of holes holds an empty line.
    WriteSparse(kCharSetFileName, "ABC", kFourGiB);
    LoadPool();
    EXPECT_EQ(PoolText(), "ABC");

    // Bytes without a code fill nothing; the read limit ends the line.
    TempWorkingDir::WriteFile(kCharSetFileName,
                              "AB" + std::string(kCharSetReadLimit, '/') + "CD");
    LoadPool();
    EXPECT_EQ(PoolText(), "AB");
}

// ---- SaveSettings --------------------------------------------------------

constexpr std::string_view kLayoutBytes = "800\r\n100\r\n8\r\n";

TEST_F(DrillFilesTest, SavesTheThirteenBytesAndReadsThemBack) {
    SaveSettings(window_);
    EXPECT_EQ(TempWorkingDir::ReadFile(kSettingsFileName), kLayoutBytes);

    FakeWindow other(log_);
    other.SetSpinValue(Setting::Frequency, 1234);
    LoadSettings(other);
    SaveSettings(other);
    EXPECT_EQ(TempWorkingDir::ReadFile(kSettingsFileName), kLayoutBytes);
    EXPECT_EQ(Listing(), std::vector<std::string>{"Rivek.ini"});
}

TEST_F(DrillFilesTest, SavesWhatTheFieldsShowUnclamped) {
    TempWorkingDir::WriteFile(kSettingsFileName, "old content that is longer\r\n");
    window_.SpinText(Setting::Frequency) = "9999";  // still being edited
    window_.SpinText(Setting::Speed) = "abc";       // not a number: the minimum
    window_.SpinText(Setting::GroupLength) = " -7";
    SaveSettings(window_);
    EXPECT_EQ(TempWorkingDir::ReadFile(kSettingsFileName), "9999\r\n30\r\n-7\r\n");
}

}  // namespace
}  // namespace rivek
