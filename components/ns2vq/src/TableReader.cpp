#include <variant>

#include "PayloadReader.h"

namespace ns2vq::detail {

bool TableReader::NvLists() {
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > r_.Remaining()) return why_ = "bad NV list count", false;
    nvLists_.resize(count);
    for (auto& list : nvLists_) {
        const std::uint32_t n = r_.Var();
        if (!r_.ok() || n > r_.Remaining() / 3) return why_ = "bad NV list length", false;
        list.resize(n);
        for (ovx::NvInfo& nv : list) {
            nv.index = r_.SVar();
            if (!Text(r_, &nv.name)) return why_ = "bad NV name", false;
            const std::uint32_t typeAndFlag = r_.Var();
            if (!r_.ok() || (typeAndFlag >> 1) >= texts_.size()) return why_ = "bad NV type", false;
            nv.type = texts_[typeAndFlag >> 1];
            nv.nodeObject = (typeAndFlag & 1) != 0;
        }
    }
    return true;
}

bool TableReader::Value(bytes::Reader& r, ovx::Value* v) {
    switch (r.Var()) {
        case 0:
            *v = std::monostate{};
            return r.ok();
        case 1:
            *v = r.SVar();
            return r.ok();
        case 2: {
            std::string s;
            if (!Text(r, &s)) return false;
            *v = std::move(s);
            return true;
        }
        default:
            return false;
    }
}

bool TableReader::CpLists() {
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > r_.Remaining()) return why_ = "bad CP list count", false;
    cpLists_.resize(count);
    for (auto& list : cpLists_) {
        const std::uint32_t n = r_.Var();
        if (!r_.ok() || n > r_.Remaining() / 3) return why_ = "bad CP list length", false;
        list.resize(n);
        for (ovx::CpInfo& cp : list) {
            if (!Text(r_, &cp.name) || !Value(r_, &cp.value) || !Value(r_, &cp.defaultValue))
                return why_ = "bad CP entry", false;
        }
    }
    return true;
}

}  // namespace ns2vq::detail
