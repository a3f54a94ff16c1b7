// A long drill through the real window on the offscreen platform: the real
// TForm1 and TrialController, a sound service that plays nothing, answers
// typed into Edit1 by key events (or set whole when they are too long to
// type), Enter by a key event, Reset and the numeral switch clicked in
// between. Nothing may crash, every trial must be scored, and the resident
// size must stay flat.
//
// Usage: test_soak [--trials=N] [gtest flags]
//   N defaults to 10000. The resident-size check needs at least 1000 trials;
//   a short run (e.g. --trials=200 under valgrind) checks the rest only.
//   With RIVEK_SOAK_TRACE set, the resident size is printed every 250 trials.

#include <malloc.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <span>
#include <string>

#include "drill/trial_controller.h"
#include "platform/shift_jis.h"
#include "support/temp_dir.h"
#include "window/answer_field.h"
#include "window/form1.h"

namespace rivek {
namespace {

int g_trials = 10000;

constexpr int kBaselineTrials = 100;
constexpr int kMinTrialsForMemoryCheck = 1000;
constexpr long kAllowedGrowthKiB = 5 * 1024;
constexpr int kLongAnswerBytes = 32767;

class SilentSound : public SoundService {
public:
    void Play(std::span<const std::uint8_t>) override {}
    void Stop() override {}
};

// The resident size of this process [KiB], from /proc/self/status, once
// the allocator has given its free memory back: whether the blocks of the
// last long answer happen to be kept or returned would otherwise swing the
// figure by some 4 MB from one trial to the next.
long ResidentKiB() {
    ::malloc_trim(0);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

QString FromCp932(std::string_view bytes) { return QString::fromUtf8(Cp932ToUtf8(bytes)); }

// Types `text` into `widget` one key event per character: an ASCII
// character as its key, any other (a surrogate pair as one) as a key
// event that carries only the text, as an input method sends it.
void Type(QWidget* widget, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
            continue;
        }
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        i += length - 1;
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, character, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, character, Qt::NoModifier);
    }
}

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Groups of 15 from letters, digits, signs and half-width kana.
        WriteFile("Rivek.ini", "800\r\n300\r\n15\r\n");
        WriteFile("Rivek.dat", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789'(),.?\xb1\xb2\xb3\xb4\xb5\xdd\r\n");

        form_ = std::make_unique<TForm1>();
        controller_ = std::make_unique<TrialController>(*form_, sound_, [] { return 4242u; });
        form_->Attach(*controller_);
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        edit_ = form_->findChild<AnswerField*>(QStringLiteral("Edit1"));
        reset_ = form_->findChild<QPushButton*>(QStringLiteral("Button1"));
        numerals_ = form_->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
        ASSERT_TRUE(edit_ && reset_ && numerals_);
    }

    void TearDown() override {
        form_.reset();
        controller_.reset();
    }

    static void WriteFile(const char* name, const std::string& bytes) {
        QFile file(QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    // Puts an answer into Edit1, then presses Enter. Of every 40 trials one
    // answer is 32,767 bytes of ASCII and one 32,767 bytes of mostly
    // double-byte characters (each takes Qt's text layout about 0.1 s);
    // the others take turns among six short kinds.
    void AnswerAndPressEnter(int trial) {
        const QString sent = FromCp932(controller_->SentText());
        edit_->clear();
        if (trial % 40 == 5) {
            edit_->setText(QString(kLongAnswerBytes, u'E'));
        } else if (trial % 40 == 25) {
            // 16383 double-byte characters and one byte
            edit_->setText(QString(kLongAnswerBytes / 2, QChar(0x3042)) + QStringLiteral("A"));
        } else {
            switch (trial % 6) {
            case 0: break;  // empty
            case 1: Type(edit_, sent); break;
            case 2: Type(edit_, sent.toLower()); break;
            case 3: Type(edit_, QStringLiteral("QX") + sent.mid(3) + QStringLiteral("7?")); break;
            case 4:  // full-width letters, hiragana, kanji, half-width kana
                Type(edit_, QString::fromUtf8("ＡＢあいう漢字ｱｲｳ") + sent.left(4));
                break;
            case 5: Type(edit_, QString::fromUtf8("€😀é") + sent); break;  // not in code page 932
            }
        }
        QTest::keyClick(edit_, Qt::Key_Return);
    }

    testing::TempWorkingDir workDir_;
    SilentSound sound_;
    std::unique_ptr<TrialController> controller_;
    std::unique_ptr<TForm1> form_;
    AnswerField* edit_ = nullptr;
    QPushButton* reset_ = nullptr;
    QCheckBox* numerals_ = nullptr;
};

TEST_F(SoakTest, LongDrillRunsEveryTrialAndKeepsMemoryFlat) {
    long baselineKiB = -1;
    int trialsSinceReset = 0;
    for (int trial = 1; trial <= g_trials; ++trial) {
        if (trial % 97 == 0) {
            QTest::mouseClick(reset_, Qt::LeftButton);
            trialsSinceReset = 0;
            ASSERT_EQ(controller_->Counters().TrialNo, 0) << "trial " << trial;
        }
        if (trial % 41 == 0) QTest::mouseClick(numerals_, Qt::LeftButton);

        AnswerAndPressEnter(trial);
        // The event loop runs between two keys, as in the program: what
        // the trial posted (repaints, deferred deletions) is handled.
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ++trialsSinceReset;
        const DrillCounters& counters = controller_->Counters();
        // The first Enter after start-up or Reset only starts the drill.
        ASSERT_EQ(counters.TrialNo, trialsSinceReset) << "trial " << trial;
        ASSERT_GE(counters.WrongTotal, 0);
        ASSERT_GE(counters.MissingTotal, 0);
        ASSERT_EQ(controller_->SentText().size(), 15u) << "trial " << trial;
        ASSERT_TRUE(edit_->text().isEmpty()) << "trial " << trial;

        if (trial == kBaselineTrials) baselineKiB = ResidentKiB();
        if (std::getenv("RIVEK_SOAK_TRACE") && trial % 250 == 0) std::printf("%d %ld\n", trial, ResidentKiB());
    }
    QApplication::processEvents();

    if (g_trials < kMinTrialsForMemoryCheck) return;
    const long finalKiB = ResidentKiB();
    std::printf("resident size: %ld KiB after %d trials, %ld KiB after %d trials\n", baselineKiB,
                kBaselineTrials, finalKiB, g_trials);
    ASSERT_GT(baselineKiB, 0);
    EXPECT_LE(finalKiB - baselineKiB, kAllowedGrowthKiB);
}

}  // namespace
}  // namespace rivek

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--trials=", 0) == 0) {
            rivek::g_trials = std::atoi(argument.c_str() + 9);
        } else {
            std::fprintf(stderr, "unknown argument: %s\nusage: test_soak [--trials=N]\n", argv[i]);
            return 2;
        }
    }
    if (rivek::g_trials < 1) return 2;
    return RUN_ALL_TESTS();
}
