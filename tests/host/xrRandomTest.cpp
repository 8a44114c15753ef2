#include "host/xrRandom.h"

#include <gtest/gtest.h>

#include <vector>

using strand::xrRandom;
using Values = std::vector<uint32_t>;

namespace {

Values draw(xrRandom& random, int count, uint32_t bound = 0) {
    Values values;
    for (int i = 0; i < count; ++i)
        values.push_back(bound ? random.GetRandom(bound) : random.Next());
    return values;
}

}  // namespace

TEST(xrRandom, GoldenValuesForSeed3333) {
    // Pinned: any change of algorithm, seeding or derivation shows here.
    xrRandom random(3333);
    EXPECT_EQ(draw(random, 4), (Values{0x5E09002Au, 0xB2EE8D76u, 0xE94BA463u, 0xE62FFE32u}));
    random.Seed(3333);
    EXPECT_EQ(draw(random, 6, 100), (Values{36, 69, 91, 89, 42, 55}));
    random.Seed(3333);
    EXPECT_EQ(random.GetRandomDouble(), 0.36732483889569334);
    EXPECT_EQ(random.GetRandomDouble(), 0.6989525236225046);
    // SplitMix64 from 0 gives s1 = 0x6E789E6AA1B965F4, and xoshiro256** first returns rotl(s1 * 5, 7) * 9.
    EXPECT_EQ(xrRandom().Next(), 0x99EC5F36u);
}

TEST(xrRandom, BoundsAndTheUnitIntervalAreRespectedWithoutBias) {
    xrRandom random(3333);
    for (uint32_t bound : {1u, 2u, 7u, 0x80000001u, 0xFFFFFFFFu}) {
        for (uint32_t value : draw(random, 2000, bound))
            ASSERT_LT(value, bound) << bound;
    }
    xrRandom a(5), b(5);
    EXPECT_EQ(a.GetRandom(0), b.Next());
    // Each of 6 faces expects 10000 of 60000 draws; 600 is over six standard deviations.
    int counts[6] = {};
    for (uint32_t value : draw(random, 60000, 6))
        ++counts[value];
    for (int count : counts)
        EXPECT_NEAR(count, 10000, 600);
    double sum = 0;
    for (int i = 0; i < 100000; ++i) {
        double x = random.GetRandomDouble();
        ASSERT_TRUE(x >= 0.0 && x < 1.0) << x;
        sum += x;
    }
    EXPECT_NEAR(sum / 100000, 0.5, 0.01);
}
