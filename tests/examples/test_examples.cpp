// Each example in examples/ is loaded as "Rivek.dat" from a temporary working
// directory, the way Rivek finds it, and must give exactly the pool that
// examples/README.md promises: nothing dropped, nothing from the note line
// (a file saved with LF ends would read its note as characters too).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "drill/drill_files.h"
#include "morse/code_table.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const fs::path kExamplesDir = RIVEK_EXAMPLES_DIR;

// The Koch order without "=" and "/", which have no code.
constexpr std::string_view kKochOrder = "KMURESNAPTLWI.JZFOY,VG5Q92H38B?47C1D60X";

struct Case {
    std::string file;
    std::string pool;  // code page 932 bytes
};

std::string KanaOfTheKanaCode() {
    std::string kana = "\xA3\xA4\xA6\xA8\xAA";
    for (int byte = 0xB0; byte <= 0xDF; ++byte) kana.push_back(static_cast<char>(byte));
    return kana;
}

std::vector<Case> Cases() {
    std::vector<Case> cases = {
        {"digits.dat", "0123456789"},
        {"signs.dat", "'(),.?"},
        {"kana.dat", KanaOfTheKanaCode()},
        {"mixed.dat", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789'(),.?"},
    };
    for (std::size_t lesson = 1; lesson + 1 <= kKochOrder.size(); ++lesson) {
        char name[16];
        std::snprintf(name, sizeof name, "koch-%02zu.dat", lesson);
        cases.push_back({name, std::string(kKochOrder.substr(0, lesson + 1))});
    }
    return cases;
}

// Runs the body in a fresh temporary working directory, then goes back.
class ExamplesTest : public ::testing::Test {
protected:
    rivek::testing::TempWorkingDir dir_{"rivek-examples"};
};

TEST_F(ExamplesTest, EachExampleLoadsToItsPool) {
    rivek::CodeTable table;
    rivek::ResetCodeTable(table);
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.file);
        const fs::path source = kExamplesDir / c.file;
        ASSERT_TRUE(fs::exists(source));
        fs::copy_file(source, dir_.Path() / rivek::kCharSetFileName, fs::copy_options::overwrite_existing);

        rivek::CharPool pool;
        rivek::LoadCharPool(pool, table);

        ASSERT_EQ(pool.PoolLength, static_cast<std::int32_t>(c.pool.size()));
        const std::string loaded(pool.CharPool.begin(), pool.CharPool.begin() + pool.PoolLength);
        EXPECT_EQ(loaded, c.pool);
    }
}

TEST_F(ExamplesTest, EveryExampleFileIsCovered) {
    std::set<std::string> expected;
    for (const Case& c : Cases()) expected.insert(c.file);
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(kExamplesDir)) {
        if (entry.path().extension() == ".dat") found.insert(entry.path().filename().string());
    }
    EXPECT_EQ(found, expected);
}

}  // namespace
