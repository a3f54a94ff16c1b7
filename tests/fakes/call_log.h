// One ordered record of the calls that the fakes receive, shared by the fake
// window and the fake sound so that a test sees their interleaving.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace rivek::testing {

class CallLog {
public:
    void Add(std::string entry) { entries_.push_back(std::move(entry)); }
    const std::vector<std::string>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

    // The entries whose text starts with one of the prefixes, in order.
    std::vector<std::string> Only(std::initializer_list<std::string_view> prefixes) const {
        std::vector<std::string> kept;
        for (const std::string& entry : entries_) {
            if (std::any_of(prefixes.begin(), prefixes.end(),
                            [&](std::string_view p) { return entry.starts_with(p); })) {
                kept.push_back(entry);
            }
        }
        return kept;
    }

private:
    std::vector<std::string> entries_;
};

}  // namespace rivek::testing
