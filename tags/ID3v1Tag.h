#pragma once
// Placeholder until the class is written.
namespace tags {
class TID3v1Tag {
public:
};
}  // namespace tags
