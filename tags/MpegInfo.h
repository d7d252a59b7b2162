#pragma once
// Placeholder until the class is written.
namespace tags {
class TMpegInfo {
public:
};
}  // namespace tags
