#include <variant>

#include "PayloadReader.h"

namespace ns2vq::detail {

namespace {

// A list table: a count, then lists of entries, each entry at least 3 bytes.
template <typename Entry, typename ReadEntry>
bool ReadLists(bytes::Reader& r, std::vector<std::vector<Entry>>& lists, const std::string& what,
               std::string& why, ReadEntry readEntry) {
    const std::uint32_t count = r.Var();
    if (!r.ok() || count > r.Remaining()) return why = "bad " + what + " list count", false;
    lists.resize(count);
    for (auto& list : lists) {
        const std::uint32_t n = r.Var();
        if (!r.ok() || n > r.Remaining() / 3) return why = "bad " + what + " list length", false;
        list.resize(n);
        for (Entry& entry : list)
            if (!readEntry(entry)) return why = "bad " + what + " entry", false;
    }
    return true;
}

}  // namespace

bool TableReader::NvLists() {
    return ReadLists(r_, nvLists_, "NV", why_, [this](ovx::NvInfo& nv) {
        nv.index = r_.SVar();
        if (!Text(r_, &nv.name)) return false;
        const std::uint32_t typeAndFlag = r_.Var();
        if (!r_.ok() || (typeAndFlag >> 1) >= texts_.size()) return false;
        nv.type = texts_[typeAndFlag >> 1];
        nv.nodeObject = (typeAndFlag & 1) != 0;
        return true;
    });
}

bool TableReader::CpLists() {
    return ReadLists(r_, cpLists_, "CP", why_, [this](ovx::CpInfo& cp) {
        return Text(r_, &cp.name) && Value(r_, &cp.value) && Value(r_, &cp.defaultValue);
    });
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

}  // namespace ns2vq::detail
