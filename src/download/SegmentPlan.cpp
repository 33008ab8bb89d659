#include "src/download/SegmentPlan.h"

#include <algorithm>

namespace Download {
namespace {

constexpr int64_t kBytesPerSegment = 10485760;  // a segment for every 10 MiB, at most two
constexpr int64_t kMaxSegments = 2;

}  // namespace

std::vector<Segment> PlanSegments(int64_t length) {
    std::vector<Segment> plan;
    if (length <= 0) return plan;
    const int64_t count = std::clamp<int64_t>(length / kBytesPerSegment, 1, kMaxSegments);
    const int64_t size = length / count;
    int64_t offset = 0;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t thisSize = i + 1 == count ? size + length % count : size;
        plan.push_back({offset, offset + thisSize - 1});
        offset += thisSize;
    }
    return plan;
}

}  // namespace Download
