#include "core/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tervo {
namespace {

// Runs each case under a POSIX time-zone rule and puts the process's zone back after it.
class LocalDateCacheTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ")) {
            saved_ = zone;
        }
        setenv("TZ", GetParam(), 1);
        tzset();
    }
    void TearDown() override {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    static CivilDate Direct(std::time_t t) {
        std::tm local{};
        localtime_r(&t, &local);
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    }

    static void ExpectSame(LocalDateCache& cache, std::time_t t) {
        const CivilDate expected = Direct(t);
        const CivilDate got = cache.Today(t);
        ASSERT_TRUE(got.Year == expected.Year && got.Month == expected.Month && got.Day == expected.Day)
            << GetParam() << " at " << t << ": " << got.Year << "-" << got.Month << "-" << got.Day
            << " instead of " << expected.Year << "-" << expected.Month << "-" << expected.Day;
    }

private:
    std::optional<std::string> saved_;
};

// One cache asked along a clock that runs through a year in uneven steps, and
// second by second around every hour boundary it passes (local midnights and
// clock changes fall on those), must always give the date localtime gives.
TEST_P(LocalDateCacheTest, GivesTheLocalDateAcrossMidnightsAndClockChanges) {
    LocalDateCache cache;
    const std::time_t begin = 1704067200 - 3 * 86400;  // late December 2023
    for (std::time_t t = begin; t < begin + 370 * 86400; t += 3 * 3600 + 1234) {
        ExpectSame(cache, t);
        const std::time_t hour = t - t % 3600 + 1800;  // half-hour zones too
        for (std::time_t s = hour - 1801; s <= hour + 1801; s += 1800) {
            for (std::time_t d = -2; d <= 2; ++d) {
                ExpectSame(cache, s + d);
            }
        }
    }
}

TEST_P(LocalDateCacheTest, FollowsAClockSetBack) {
    LocalDateCache cache;
    const std::time_t t = 1719792000;  // 2024-07-01 00:00 UTC
    for (std::time_t back : {std::time_t{0}, std::time_t{1}, std::time_t{86400}, std::time_t{40 * 86400}}) {
        ExpectSame(cache, t + 86400);
        ExpectSame(cache, t - back);
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalDateCacheTest,
                         ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3",
                                           // clocks change at local midnight
                                           "<-03>3<-02>,M10.1.0/0,M2.3.0/0",
                                           // half-hour offsets and a half-hour change
                                           "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "<-11>11"));

}  // namespace
}  // namespace tervo
