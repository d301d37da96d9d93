#include "PayloadEncoder.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace ns2vq {

using bytes::Buffer;
using bytes::PutSVar;
using bytes::PutVar;
using bytes::VarSize;
using records::Coded;
using records::StringOp;

namespace {

std::size_t OpSize(const StringOp& op) {
    Buffer b;
    records::PutOp(b, op);
    return b.size();
}

void PutValue(Buffer& b, const ovx::Value& v, auto& texts) {
    if (const auto* i = std::get_if<std::int32_t>(&v)) {
        PutVar(b, 1);
        PutSVar(b, *i);
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        PutVar(b, 2);
        PutVar(b, texts.Intern(*s));
    } else {
        PutVar(b, 0);
    }
}

}  // namespace

std::uint32_t PayloadEncoder::TextTable::Intern(const std::string& s) {
    auto [it, added] = index.try_emplace(s, count);
    if (!added) return it->second;
    records::PutOp(data, records::Choose(last, s));
    last = s;
    return count++;
}

std::uint32_t PayloadEncoder::ListTable::Intern(const Buffer& list) {
    auto [it, added] = index.try_emplace(std::string(list.begin(), list.end()), count);
    if (!added) return it->second;
    data.insert(data.end(), list.begin(), list.end());
    return count++;
}

std::size_t PayloadEncoder::Section::EntrySize() const {
    return VarSize(records) + OpSize(sarvik);
}

std::uint32_t PayloadEncoder::ListCode(bool cp, std::uint32_t templateText, std::uint32_t index,
                                       std::uint32_t* byIndex) {
    std::vector<std::uint32_t>& recent = state_.RecentLists(cp, templateText);
    const auto it = std::find(recent.begin(), recent.end(), index);
    std::uint32_t code = records::kListByIndex;
    if (it != recent.end())
        code = records::kListRecent + static_cast<std::uint32_t>(it - recent.begin());
    else
        *byIndex = index;
    records::State::Use(recent, index);
    return code;
}

Coded PayloadEncoder::CodeDevice(const ovx::DeviceDetails& d, std::uint8_t kind, bool nvRecords,
                                 bool cpRecords) {
    Coded r;
    r.kind = kind;
    r.templateText = texts_.Intern(d.templateName);
    const records::State::Device previous = state_.Previous();
    const records::State::Device context = state_.Context(r.templateText);
    const records::State::Device now{d.handle,  texts_.Intern(d.programId), d.channelId, d.name, d.location,
                                     d.sarvikId};
    r.handle = static_cast<std::int32_t>(now.handle - previous.handle);
    auto choose = [this](const std::string& ref, const std::string& s, int field) {
        StringOp op = records::Choose(ref, s, preferBase36_[field]);
        const std::uint32_t k = op.header;
        if (k == records::kOpDecimal || k == records::kOpBase36)
            preferBase36_[field] = k == records::kOpBase36;
        return op;
    };
    r.name = choose(context.name, d.name, 0);
    r.location = choose(previous.location, d.location, 1);
    r.sarvik = choose(context.sarvik, d.sarvikId, 2);
    r.program = static_cast<std::int32_t>(now.program - context.program);
    r.channel = static_cast<std::int32_t>(static_cast<std::uint32_t>(now.channel) -
                                          static_cast<std::uint32_t>(previous.channel));
    if (nvRecords) {
        Buffer list;
        PutVar(list, static_cast<std::uint32_t>(d.nvs.size()));
        for (const ovx::NvInfo& nv : d.nvs) {
            PutSVar(list, nv.index);
            PutVar(list, texts_.Intern(nv.name));
            PutVar(list, (texts_.Intern(nv.type) << 1) | (nv.nodeObject ? 1u : 0u));
        }
        r.nvCode = ListCode(false, r.templateText, nvLists_.Intern(list), &r.nvIndex);
    }
    if (cpRecords) {
        Buffer list;
        PutVar(list, static_cast<std::uint32_t>(d.cps.size()));
        for (const ovx::CpInfo& cp : d.cps) {
            PutVar(list, texts_.Intern(cp.name));
            PutValue(list, cp.value, texts_);
            PutValue(list, cp.defaultValue, texts_);
        }
        r.cpCode = ListCode(true, r.templateText, cpLists_.Intern(list), &r.cpIndex);
    }
    state_.Seen(r.templateText, now);
    return r;
}

void PayloadEncoder::Remember(const Coded& r) {
    history_.push_back(r);
    if (history_.size() > records::kHistory) history_.pop_front();
}

void PayloadEncoder::Add(const Coded& r) {
    ++sections_.back().records;
    if (copyCount_ > 0 && history_[history_.size() - copyDistance_] == r) {
        ++copyCount_;
        Remember(r);
        return;
    }
    FlushCopy();
    if (r.kind != records::kKindVq) {
        for (std::size_t d = 1; d <= history_.size(); ++d) {
            const Coded& earlier = history_[history_.size() - d];
            if (earlier.kind != records::kKindVq && earlier == r) {
                copyDistance_ = static_cast<std::uint32_t>(d);
                copyCount_ = 1;
                Remember(r);
                return;
            }
        }
    }
    records::Put(columns_, r);
    Remember(r);
}

void PayloadEncoder::PutPending(records::Columns& c) const {
    if (copyCount_ >= records::kMinCopy) {
        c[records::kKinds].push_back(records::kKindCopy);
        PutVar(c[records::kCopies], copyDistance_ - 1);
        PutVar(c[records::kCopies], copyCount_ - records::kMinCopy);
    } else if (copyCount_ == 1) {
        records::Put(c, history_.back());  // too short for a copy
    }
}

void PayloadEncoder::FlushCopy() {
    PutPending(columns_);
    copyCount_ = copyDistance_ = 0;
}

void PayloadEncoder::BeginSection(const ovx::DeviceDetails& vq, bool nvRecords, bool cpRecords) {
    FlushCopy();
    if (!sections_.empty()) closedEntryBytes_ += sections_.back().EntrySize();
    Section s;
    s.sarvik = records::Choose(lastSarvik_, vq.sarvikId);
    lastSarvik_ = vq.sarvikId;
    sections_.push_back(std::move(s));
    Add(CodeDevice(vq, records::kKindVq, nvRecords, cpRecords));
}

void PayloadEncoder::AddDevice(const ovx::DeviceDetails& device, RecordType type, bool nvRecords,
                               bool cpRecords) {
    if (sections_.empty()) throw std::logic_error("device before any VQ");
    Add(CodeDevice(device, static_cast<std::uint8_t>(type), nvRecords, cpRecords));
}

void PayloadEncoder::AddRouter(const ovx::RouterDetails& router) {
    if (sections_.empty()) throw std::logic_error("router before any VQ");
    Coded r;
    r.kind = records::kKindRouter;
    r.routerHandle = static_cast<std::uint16_t>(router.handle);
    r.name = records::Choose(state_.RouterName(), router.name);
    state_.RouterName() = router.name;
    r.nearChannel = router.nearChannelId;
    r.farChannel = router.farChannelId;
    Add(r);
}

std::size_t PayloadEncoder::Size() const {
    std::size_t n = VarSize(texts_.count) + texts_.data.size() + VarSize(nvLists_.count) +
                    nvLists_.data.size() + VarSize(cpLists_.count) + cpLists_.data.size() +
                    VarSize(static_cast<std::uint32_t>(sections_.size())) + closedEntryBytes_;
    if (!sections_.empty()) n += sections_.back().EntrySize();
    records::Columns pending;
    PutPending(pending);
    for (std::size_t c = 0; c < records::kColumnCount; ++c) {
        const std::size_t len = columns_[c].size() + pending[c].size();
        n += VarSize(static_cast<std::uint32_t>(len)) + len;
    }
    return n;
}

detail::Payload PayloadEncoder::Finish() const {
    detail::Payload p;
    Buffer& out = p.bytes;
    out.reserve(Size());
    PutVar(out, texts_.count);
    out.insert(out.end(), texts_.data.begin(), texts_.data.end());
    for (const ListTable* t : {&nvLists_, &cpLists_}) {
        p.parts.push_back(out.size());
        PutVar(out, t->count);
        out.insert(out.end(), t->data.begin(), t->data.end());
    }
    p.parts.push_back(out.size());
    PutVar(out, static_cast<std::uint32_t>(sections_.size()));
    for (const Section& s : sections_) {
        PutVar(out, s.records);
        records::PutOp(out, s.sarvik);
    }
    records::Columns columns = columns_;
    PutPending(columns);
    for (const Buffer& column : columns) {
        p.parts.push_back(out.size());
        PutVar(out, static_cast<std::uint32_t>(column.size()));
        out.insert(out.end(), column.begin(), column.end());
    }
    return p;
}

}  // namespace ns2vq
