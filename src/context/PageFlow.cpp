#include "context/PageFlow.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

const std::vector<int>& PageFlow(int mainOption) {
    static const std::vector<int> flows[3] = {
        {kPageMain, kPageSelectDB, kPageSelectSubsys, kPageCompress, kPageLoadOption, kPageAppImage,
         kPageBatch, kPageLoad},
        {kPageMain, kPageGetFile, kPageLoadOption, kPageAppImage, kPageBatch, kPageLoad},
        {kPageMain, kPageLoadOption, kPageAppImage, kPageBatch, kPageLoad},
    };
    return flows[(mainOption >= kOptionCompressAndLoad && mainOption <= kOptionLoadApplicationOnly)
                     ? mainOption
                     : kOptionCompressAndLoad];
}

bool IsPageInFlow(int mainOption, int pageId) {
    const auto& flow = PageFlow(mainOption);
    return std::find(flow.begin(), flow.end(), pageId) != flow.end();
}

int NeighbourPage(int mainOption, int pageId, bool forward) {
    const auto& flow = PageFlow(mainOption);
    const auto it = std::find(flow.begin(), flow.end(), pageId);
    if (it == flow.end()) return -1;
    const std::ptrdiff_t target = (it - flow.begin()) + (forward ? 1 : -1);
    if (target < 0 || target >= std::ssize(flow)) return -1;
    return flow[static_cast<std::size_t>(target)];
}
