// The queue of files rebuilt ahead of a walk: what a walk takes is the result of the file it
// names, queued with the stored type it has, or nothing; files it passed are dropped; a
// failure other than damage reaches the walk. Each case with no thread (every file rebuilt
// when it is taken) and with two.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/content_rebuild_pool.h"

namespace {

using varnotte::ContentFacts;
using varnotte::ContentRebuildPool;

struct Take {
    std::string physical;
    std::string storedType;
    std::string result;  // "" for nothing, "throws" for the failure raised
};

struct PoolCase {
    std::string name;
    std::vector<ContentRebuildPool::Job> queued;
    std::vector<Take> takes;
    std::size_t left;  // jobs still queued after the takes
};

// Says which job it rebuilt; "BROKEN" fails as no damage does.
ContentFacts RebuildJob(sourcesafe::ContentReader&, const ContentRebuildPool::Job& job,
                        const std::function<bool()>&) {
    if (job.source.physical == "BROKEN") {
        throw std::runtime_error("out of memory");
    }
    ContentFacts facts;
    facts.notKept = job.source.physical + " " + job.storedType;
    return facts;
}

class RebuildPool : public testing::TestWithParam<PoolCase> {};

TEST_P(RebuildPool, TakesWhatWasQueuedForTheFileAsked) {
    for (const unsigned threads : {0U, 2U}) {
        ContentRebuildPool pool(threads, RebuildJob);
        for (const ContentRebuildPool::Job& job : GetParam().queued) {
            pool.Add(job);
        }
        sourcesafe::ContentReader reader;
        for (const Take& take : GetParam().takes) {
            if (take.result == "throws") {
                EXPECT_THROW(pool.Take(take.physical, take.storedType, reader), std::runtime_error);
                continue;
            }
            const std::optional<ContentFacts> facts =
                pool.Take(take.physical, take.storedType, reader);
            EXPECT_EQ(facts ? facts->notKept : "", take.result)
                << take.physical << ", " << threads << " thread(s)";
        }
        EXPECT_EQ(pool.Size(), GetParam().left) << threads << " thread(s)";
    }
}

ContentRebuildPool::Job Job(const std::string& physical, const std::string& storedType = "") {
    return {{"/data", physical}, storedType};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RebuildPool,
    testing::Values(PoolCase{"InTheOrderQueued",
                             {Job("AAAAAAAA"), Job("BAAAAAAA", "text"), Job("CAAAAAAA")},
                             {{"AAAAAAAA", "", "AAAAAAAA "},
                              {"BAAAAAAA", "text", "BAAAAAAA text"},
                              {"CAAAAAAA", "", "CAAAAAAA "}},
                             0},
                    PoolCase{"FilesPassedAreDropped",
                             {Job("AAAAAAAA"), Job("BAAAAAAA"), Job("CAAAAAAA"), Job("DAAAAAAA")},
                             {{"BAAAAAAA", "", "BAAAAAAA "}, {"AAAAAAAA", "", ""}},
                             2},
                    PoolCase{"AFileNotQueuedIsLeftToTheCaller",
                             {Job("AAAAAAAA")},
                             {{"ZAAAAAAA", "", ""}, {"AAAAAAAA", "", "AAAAAAAA "}},
                             0},
                    PoolCase{"AnotherStoredTypeDropsTheJob",
                             {Job("AAAAAAAA", "binary"), Job("BAAAAAAA")},
                             {{"AAAAAAAA", "utf-8", ""}, {"AAAAAAAA", "binary", ""}},
                             1},
                    PoolCase{"AFailureOtherThanDamageReachesTheCaller",
                             {Job("BROKEN"), Job("AAAAAAAA")},
                             {{"BROKEN", "", "throws"}, {"AAAAAAAA", "", "AAAAAAAA "}},
                             0}),
    [](const testing::TestParamInfo<PoolCase>& info) { return info.param.name; });

}  // namespace
