// Any bytes as "Rivek.dat": the pool holds at most 2048 entries, each a
// byte that has a code, in the order of the first line.
#include <cstdint>
#include <cstdlib>

#include "drill/drill_files.h"
#include "fuzz/file_fixture.h"
#include "morse/code_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rivek::fuzz::EnterScratchDirectory();
    rivek::fuzz::WriteFile(rivek::kCharSetFileName, data, size);
    static const rivek::CodeTable table = [] {
        rivek::CodeTable codes;
        rivek::ResetCodeTable(codes);
        return codes;
    }();
    rivek::CharPool pool;
    rivek::LoadCharPool(pool, table);
    if (pool.PoolLength < 0 || pool.PoolLength > rivek::kCharPoolCapacity) std::abort();
    if (static_cast<std::size_t>(pool.PoolLength) > size) std::abort();
    for (std::int32_t i = 0; i < pool.PoolLength; ++i) {
        if (table[pool.CharPool[static_cast<std::size_t>(i)]] == 0) std::abort();
    }
    return 0;
}
