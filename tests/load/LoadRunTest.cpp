// The load run's summary and its modes.
#include "LoadFixture.h"
#include "context/PageFlow.h"

namespace loadtest {
namespace {

TEST(LoadSummary, Rules) {
    struct Case {
        QVector<std::int32_t> outcomes;
        QStringList lines;
    } cases[] = {
        {{0}, {"FAILED to load into the VQ."}},
        {{1}, {"The VQ is loaded SUCCESSFULLY."}},
        {{1, 0, 1}, {"The following VQs failed. Press Wink Failed to find out which ones failed.", "VQ #2"}},
        {{0, 1, 0},
         {"The following VQs failed. Press Wink Failed to find out which ones failed.", "VQ #1", "VQ #3"}},
        {{1, 1}, {"All VQs are loaded SUCCESSFULLY."}},
        {{}, {"All VQs are loaded SUCCESSFULLY."}},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadSummaryLines(c.outcomes), c.lines);
}

TEST_F(LoadTest, ApplicationOnlyWithoutImageSetsTheSarvikIdsOnly) {
    OpenLoadSide(2);
    LoadRequest request = Request(kOptionLoadApplicationOnly);
    request.loadImage = false;
    const LoadRunResult result = Run(request);
    EXPECT_EQ(view.lines, (QStringList{"Load application image only...", "Adding temporary VQ devices...",
                                       "Setting sarvik id of the VQs...", "Setting sarvik id of the VQs...",
                                       "All VQs are loaded SUCCESSFULLY.", ""}));
    EXPECT_EQ(Ctx().m_loadDevices.at(1)->SarvikId(), units[1]);
    EXPECT_TRUE(Memory(0).image.empty());
    EXPECT_FALSE(Memory(0).unit.commissioned);
    EXPECT_EQ(result.vqs[1].stepMs.size(), 1u);
}

TEST_F(LoadTest, EmptyBatchLoadsNothingAndSucceeds) {
    OpenLoadSide(0);
    const LoadRunResult result = Run(Request());
    EXPECT_EQ(result.end, LoadRunEnd::Completed);
    EXPECT_TRUE(result.outcomes.isEmpty());
    EXPECT_EQ(view.lines.mid(view.lines.size() - 2), (QStringList{"All VQs are loaded SUCCESSFULLY.", ""}));
}

}  // namespace
}  // namespace loadtest
