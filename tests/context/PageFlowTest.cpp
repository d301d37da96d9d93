// The page that follows or precedes each page in each main option's flow.
#include <gtest/gtest.h>

#include "context/PageFlow.h"

namespace {

struct StepCase {
    int option;
    int page;
    int next;      // -1: none
    int previous;  // -1: none
};

TEST(PageFlow, NeighboursInEachFlow) {
    const StepCase cases[] = {
        {kOptionCompressAndLoad, kPageMain, kPageSelectDB, -1},
        {kOptionCompressAndLoad, kPageCompress, kPageLoadOption, kPageSelectSubsys},
        {kOptionCompressAndLoad, kPageLoadOption, kPageAppImage, kPageCompress},
        {kOptionCompressAndLoad, kPageAppImage, kPageBatch, kPageLoadOption},
        {kOptionCompressAndLoad, kPageLoad, -1, kPageBatch},
        {kOptionCompressAndLoad, kPageGetFile, -1, -1},  // not in this flow
        {kOptionLoadDatabase, kPageMain, kPageGetFile, -1},
        {kOptionLoadDatabase, kPageGetFile, kPageLoadOption, kPageMain},
        {kOptionLoadApplicationOnly, kPageMain, kPageLoadOption, -1},
        {kOptionLoadApplicationOnly, kPageLoadOption, kPageAppImage, kPageMain},
        {kOptionLoadApplicationOnly, kPageCompress, -1, -1},
        {7, kPageMain, kPageSelectDB, -1},  // an unknown option walks the first flow
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "option " << c.option << ", page " << c.page);
        EXPECT_EQ(NeighbourPage(c.option, c.page, true), c.next);
        EXPECT_EQ(NeighbourPage(c.option, c.page, false), c.previous);
        EXPECT_EQ(IsPageInFlow(c.option, c.page), c.next >= 0 || c.previous >= 0);
    }
}

}  // namespace
