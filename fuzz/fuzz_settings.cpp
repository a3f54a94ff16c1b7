// Any bytes as "Rivek.ini": loading must end, touch each field at most once,
// and leave every field within its range.
#include <cstdint>
#include <cstdlib>

#include "drill/drill_files.h"
#include "drill/spin_range.h"
#include "fuzz/file_fixture.h"

namespace {

class Fields : public rivek::SettingsFields {
public:
    std::int32_t SpinValue(rivek::Setting setting) const override { return values[Index(setting)]; }
    void SetSpinValue(rivek::Setting setting, std::int32_t value) override {
        if (++writes[Index(setting)] > 1) std::abort();
        values[Index(setting)] = rivek::RangeOf(setting).Clamp(value);
    }
    static int Index(rivek::Setting setting) { return static_cast<int>(setting); }

    std::int32_t values[3] = {800, 100, 8};
    int writes[3] = {0, 0, 0};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rivek::fuzz::EnterScratchDirectory();
    rivek::fuzz::WriteFile(rivek::kSettingsFileName, data, size);
    Fields fields;
    rivek::LoadSettings(fields);
    for (const auto setting : {rivek::Setting::Frequency, rivek::Setting::Speed, rivek::Setting::GroupLength}) {
        const auto range = rivek::RangeOf(setting);
        const auto value = fields.SpinValue(setting);
        if (value < range.minimum || value > range.maximum) std::abort();
    }
    return 0;
}
