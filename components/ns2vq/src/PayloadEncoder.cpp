#include "PayloadEncoder.h"

#include <algorithm>
#include <stdexcept>

namespace ns2vq {

using bytes::Buffer;
using bytes::PutSVar;
using bytes::PutVar;
using bytes::VarSize;

std::uint32_t PayloadEncoder::StringTable::Intern(const std::string& s) {
    auto [it, added] = index.try_emplace(s, count);
    if (!added) return it->second;
    const std::size_t limit = std::min(last.size(), s.size());
    std::size_t shared = 0;
    while (shared < limit && last[shared] == s[shared]) ++shared;
    PutVar(data, static_cast<std::uint32_t>(shared));
    PutVar(data, static_cast<std::uint32_t>(s.size() - shared));
    data.insert(data.end(), s.begin() + static_cast<std::ptrdiff_t>(shared), s.end());
    last = s;
    return count++;
}

std::uint32_t PayloadEncoder::ListTable::Intern(const Buffer& list) {
    auto [it, added] = index.try_emplace(std::string(list.begin(), list.end()), count);
    if (!added) return it->second;
    data.insert(data.end(), list.begin(), list.end());
    return count++;
}

namespace {

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

void PayloadEncoder::PutDevice(Buffer& body, const ovx::DeviceDetails& d, bool nvRecords, bool cpRecords) {
    PutVar(body, d.handle);
    PutVar(body, names_.Intern(d.name));
    PutVar(body, texts_.Intern(d.programId));
    PutVar(body, texts_.Intern(d.location));
    PutVar(body, texts_.Intern(d.sarvikId));
    PutSVar(body, d.channelId);
    PutVar(body, texts_.Intern(d.templateName));
    if (nvRecords) {
        Buffer list;
        PutVar(list, static_cast<std::uint32_t>(d.nvs.size()));
        for (const ovx::NvInfo& nv : d.nvs) {
            PutSVar(list, nv.index);
            PutVar(list, texts_.Intern(nv.name));
            PutVar(list, (texts_.Intern(nv.type) << 1) | (nv.nodeObject ? 1u : 0u));
        }
        PutVar(body, nvLists_.Intern(list) + 1);
    } else {
        PutVar(body, 0);
    }
    if (cpRecords) {
        Buffer list;
        PutVar(list, static_cast<std::uint32_t>(d.cps.size()));
        for (const ovx::CpInfo& cp : d.cps) {
            PutVar(list, texts_.Intern(cp.name));
            PutValue(list, cp.value, texts_);
            PutValue(list, cp.defaultValue, texts_);
        }
        PutVar(body, cpLists_.Intern(list) + 1);
    } else {
        PutVar(body, 0);
    }
}

void PayloadEncoder::PutRecord(RecordType type, const Buffer& body) {
    Buffer& r = sections_.back().records;
    r.push_back(static_cast<std::uint8_t>(type));
    PutVar(r, static_cast<std::uint32_t>(body.size()));
    r.insert(r.end(), body.begin(), body.end());
}

void PayloadEncoder::BeginSection(const ovx::DeviceDetails& vq, bool nvRecords, bool cpRecords) {
    if (!sections_.empty())
        closedSectionBytes_ += DirectoryEntrySize(sections_.back()) + sections_.back().records.size();
    Section s;
    s.vqHandle = vq.handle;
    s.name = names_.Intern(vq.name);
    s.sarvikId = texts_.Intern(vq.sarvikId);
    s.location = texts_.Intern(vq.location);
    s.channel = vq.channelId;
    sections_.push_back(std::move(s));
    Buffer body;
    PutDevice(body, vq, nvRecords, cpRecords);
    PutRecord(RecordType::Vq, body);
}

void PayloadEncoder::AddDevice(const ovx::DeviceDetails& device, RecordType type, bool nvRecords,
                               bool cpRecords) {
    if (sections_.empty()) throw std::logic_error("device before any VQ");
    Buffer body;
    PutDevice(body, device, nvRecords, cpRecords);
    PutRecord(type, body);
}

void PayloadEncoder::AddRouter(const ovx::RouterDetails& router) {
    if (sections_.empty()) throw std::logic_error("router before any VQ");
    Buffer body;
    PutVar(body, static_cast<std::uint16_t>(router.handle));
    PutVar(body, names_.Intern(router.name));
    PutSVar(body, router.nearChannelId);
    PutSVar(body, router.farChannelId);
    PutRecord(RecordType::Router, body);
}

std::size_t PayloadEncoder::DirectoryEntrySize(const Section& s) {
    return VarSize(s.vqHandle) + VarSize(s.name) + VarSize(s.sarvikId) + VarSize(s.location) +
           VarSize(bytes::ZigZag(s.channel)) + VarSize(static_cast<std::uint32_t>(s.records.size()));
}

std::size_t PayloadEncoder::Size() const {
    std::size_t n = VarSize(names_.count) + names_.data.size() + VarSize(texts_.count) + texts_.data.size() +
                    VarSize(nvLists_.count) + nvLists_.data.size() + VarSize(cpLists_.count) +
                    cpLists_.data.size() + VarSize(static_cast<std::uint32_t>(sections_.size())) +
                    closedSectionBytes_;
    if (!sections_.empty()) n += DirectoryEntrySize(sections_.back()) + sections_.back().records.size();
    return n;
}

Buffer PayloadEncoder::Finish() const {
    Buffer out;
    out.reserve(Size());
    auto table = [&out](std::uint32_t count, const Buffer& data) {
        PutVar(out, count);
        out.insert(out.end(), data.begin(), data.end());
    };
    table(names_.count, names_.data);
    table(texts_.count, texts_.data);
    table(nvLists_.count, nvLists_.data);
    table(cpLists_.count, cpLists_.data);
    PutVar(out, static_cast<std::uint32_t>(sections_.size()));
    for (const Section& s : sections_) {
        PutVar(out, s.vqHandle);
        PutVar(out, s.name);
        PutVar(out, s.sarvikId);
        PutVar(out, s.location);
        PutSVar(out, s.channel);
        PutVar(out, static_cast<std::uint32_t>(s.records.size()));
    }
    for (const Section& s : sections_) out.insert(out.end(), s.records.begin(), s.records.end());
    return out;
}

}  // namespace ns2vq
