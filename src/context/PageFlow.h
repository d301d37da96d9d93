// The wizard's pages by name and the order in which each main option walks
// them. The sheet moves through these flows; pages ask them whether they
// belong to the current one.
#pragma once

#include <vector>

enum PageId : int {
    kPageMain = 0,
    kPageSelectDB = 1,
    kPageSelectSubsys = 2,
    kPageCompress = 3,
    kPageGetFile = 4,
    kPageLoadOption = 5,
    kPageBatch = 6,
    kPageAppImage = 7,
    kPageLoad = 8,
};

// The choice on the main page.
enum MainOption : int {
    kOptionCompressAndLoad = 0,
    kOptionLoadDatabase = 1,
    kOptionLoadApplicationOnly = 2,
};

// The pages of a main option in order; an option outside 0 to 2 walks the
// first flow.
const std::vector<int>& PageFlow(int mainOption);
bool IsPageInFlow(int mainOption, int pageId);
// The page after (forward) or before pageId in the flow, or -1 when pageId
// is not in it or is its last (first) page.
int NeighbourPage(int mainOption, int pageId, bool forward);
