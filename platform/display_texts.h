#pragma once
// The table of shared user-visible words, named by their language keys. Written on the UI
// thread, read also by listener workers: every read sees either the old or the new value.
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class DisplayTexts {
public:
    std::u16string Get(std::u16string_view key) const;  // empty for an unknown key
    void Set(std::u16string_view key, std::u16string_view value);
    void SetAll(const std::vector<std::pair<std::u16string, std::u16string>>& values);
    bool Has(std::u16string_view key) const;

private:
    mutable std::shared_mutex mutex_;
    std::map<std::u16string, std::u16string, std::less<>> values_;
};

}  // namespace platform
