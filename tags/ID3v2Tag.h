#pragma once
// Placeholder until the class is written.
namespace tags {
class TID3v2Tag {
public:
};
}  // namespace tags
