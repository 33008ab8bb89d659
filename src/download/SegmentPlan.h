#pragma once
// Splits a file of known length into the byte ranges that the segmented downloader fetches
// in parallel: one range below 20 MiB, two from there on. Pure arithmetic: no I/O, no threads.
#include <cstdint>
#include <vector>

namespace Download {

struct Segment {
    int64_t first = 0;  // inclusive
    int64_t last = 0;   // inclusive
};

// Empty for a length of 0 or less.
std::vector<Segment> PlanSegments(int64_t length);

}  // namespace Download
