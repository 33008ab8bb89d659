#include "src/download/SegmentPlan.h"

#include <gtest/gtest.h>

namespace {

using Download::PlanSegments;

TEST(PlanSegments, OneSegmentBelowTwentyMebibytesTwoFromThere) {
    struct Case {
        int64_t length;
        std::vector<std::pair<int64_t, int64_t>> ranges;
    };
    const Case cases[] = {
        {15728640, {{0, 15728639}}},
        {26214400, {{0, 13107199}, {13107200, 26214399}}},
        {20971521, {{0, 10485759}, {10485760, 20971520}}},
        {20971519, {{0, 20971518}}},
        {256, {{0, 255}}},
        // Far beyond 32 bits: offsets stay exact.
        {5368709121, {{0, 2684354559}, {2684354560, 5368709120}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const auto plan = PlanSegments(c.length);
        ASSERT_EQ(plan.size(), c.ranges.size());
        for (size_t i = 0; i < plan.size(); ++i) {
            EXPECT_EQ(plan[i].first, c.ranges[i].first);
            EXPECT_EQ(plan[i].last, c.ranges[i].second);
        }
    }
}

TEST(PlanSegments, NothingToPlanForAnEmptyOrUnknownLength) {
    EXPECT_TRUE(PlanSegments(0).empty());
    EXPECT_TRUE(PlanSegments(-1).empty());
}

}  // namespace
