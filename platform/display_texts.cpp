#include "platform/display_texts.h"

#include <mutex>

namespace platform {

std::u16string DisplayTexts::Get(std::u16string_view key) const {
    std::shared_lock lock(mutex_);
    auto it = values_.find(key);
    return it == values_.end() ? std::u16string() : it->second;
}

void DisplayTexts::Set(std::u16string_view key, std::u16string_view value) {
    std::unique_lock lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) {
        values_.emplace(std::u16string(key), std::u16string(value));
    } else {
        it->second.assign(value);
    }
}

void DisplayTexts::SetAll(const std::vector<std::pair<std::u16string, std::u16string>>& values) {
    std::unique_lock lock(mutex_);
    for (const auto& [key, value] : values) {
        values_[key] = value;
    }
}

bool DisplayTexts::Has(std::u16string_view key) const {
    std::shared_lock lock(mutex_);
    return values_.find(key) != values_.end();
}

}  // namespace platform
