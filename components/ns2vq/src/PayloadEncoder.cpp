#include "PayloadEncoder.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace ns2vq {

using bytes::Buffer;
using bytes::PutSVar;
using bytes::PutVar;
using bytes::VarSize;

namespace {

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 36 && c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::size_t strings::NumberStart(const std::string& s, int base) {
    std::size_t i = s.size();
    while (i > 0 && DigitValue(s[i - 1], base) >= 0) --i;
    const std::size_t digits = s.size() - i;
    // The number must spell itself back: no leading zero, and it fits 32 bits.
    const std::size_t maxDigits = base == 10 ? 9 : 6;
    if (digits == 0 || digits > maxDigits || (digits > 1 && s[i] == '0')) return std::string::npos;
    return i;
}

std::int64_t strings::NumberValue(const std::string& digits, int base) {
    std::int64_t v = 0;
    for (char c : digits) v = v * base + DigitValue(c, base);
    return v;
}

std::string strings::NumberText(std::int64_t value, int base) {
    static const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string s;
    do {
        s.insert(s.begin(), digits[value % base]);
        value /= base;
    } while (value);
    return s;
}

std::uint32_t PayloadEncoder::StringTable::Intern(const std::string& s) {
    auto [it, added] = index.try_emplace(s, count);
    if (!added) return it->second;
    bool number = false;
    for (const auto& [kind, base] : {std::pair{strings::kDecimal, 10}, std::pair{strings::kBase36, 36}}) {
        const std::size_t a = strings::NumberStart(last, base), b = strings::NumberStart(s, base);
        if (a == std::string::npos || a != b || last.compare(0, a, s, 0, b) != 0) continue;
        const std::int64_t wide =
            strings::NumberValue(s.substr(b), base) - strings::NumberValue(last.substr(a), base);
        if (wide < INT32_MIN || wide > INT32_MAX) continue;
        const auto delta = static_cast<std::int32_t>(wide);
        if (lastWasNumber && lastKind == kind && lastShared == a && lastDelta == delta) {
            ++pendingRepeats;
        } else {
            Flush(data);
            pendingRepeats = 0;
            PutVar(data, static_cast<std::uint32_t>(a << 2) | kind);
            PutSVar(data, delta);
            lastWasNumber = true;
            lastKind = kind;
            lastShared = static_cast<std::uint32_t>(a);
            lastDelta = delta;
        }
        number = true;
        break;
    }
    if (!number) {
        Flush(data);
        pendingRepeats = 0;
        lastWasNumber = false;
        const std::size_t limit = std::min(last.size(), s.size());
        std::size_t shared = 0;
        while (shared < limit && last[shared] == s[shared]) ++shared;
        PutVar(data, static_cast<std::uint32_t>(shared << 2) | strings::kLiteral);
        PutVar(data, static_cast<std::uint32_t>(s.size() - shared));
        data.insert(data.end(), s.begin() + static_cast<std::ptrdiff_t>(shared), s.end());
    }
    last = s;
    return count++;
}

void PayloadEncoder::StringTable::Flush(Buffer& out) const {
    if (!pendingRepeats) return;
    PutVar(out, strings::kRepeat);
    PutVar(out, pendingRepeats);
}

std::size_t PayloadEncoder::StringTable::Size() const {
    return VarSize(count) + data.size() + (pendingRepeats ? 1 + VarSize(pendingRepeats) : 0);
}

std::size_t PayloadEncoder::Section::Size() const {
    return records.size() + (pendingRepeats ? 2 + VarSize(pendingRepeats) : 0);
}

void PayloadEncoder::Section::Flush(Buffer& out) const {
    if (!pendingRepeats) return;
    out.push_back(static_cast<std::uint8_t>(RecordType::Repeat));
    PutVar(out, static_cast<std::uint32_t>(VarSize(pendingRepeats)));
    PutVar(out, pendingRepeats);
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

void PayloadEncoder::PutDelta(Buffer& body, std::uint32_t value, std::uint32_t& previous) {
    PutSVar(body, static_cast<std::int32_t>(value - previous));
    previous = value;
}

void PayloadEncoder::PutDevice(Buffer& body, const ovx::DeviceDetails& d, bool nvRecords, bool cpRecords) {
    DeviceFields& prev = sections_.back().previous;
    PutDelta(body, d.handle, prev.handle);
    PutDelta(body, names_.Intern(d.name), prev.name);
    PutDelta(body, texts_.Intern(d.programId), prev.programId);
    PutDelta(body, texts_.Intern(d.location), prev.location);
    PutDelta(body, texts_.Intern(d.sarvikId), prev.sarvikId);
    PutSVar(body, static_cast<std::int32_t>(static_cast<std::uint32_t>(d.channelId) -
                                            static_cast<std::uint32_t>(prev.channel)));
    prev.channel = d.channelId;
    PutDelta(body, texts_.Intern(d.templateName), prev.templateName);
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
    Section& sec = sections_.back();
    const bool device = type == RecordType::NearDevice || type == RecordType::FarDevice;
    if (device && sec.lastDevice.size() == body.size() + 1 &&
        sec.lastDevice[0] == static_cast<std::uint8_t>(type) &&
        std::equal(body.begin(), body.end(), sec.lastDevice.begin() + 1)) {
        ++sec.pendingRepeats;
        return;
    }
    sec.Flush(sec.records);
    sec.pendingRepeats = 0;
    sec.lastDevice.clear();
    if (device) {
        sec.lastDevice.push_back(static_cast<std::uint8_t>(type));
        sec.lastDevice.insert(sec.lastDevice.end(), body.begin(), body.end());
    }
    sec.records.push_back(static_cast<std::uint8_t>(type));
    PutVar(sec.records, static_cast<std::uint32_t>(body.size()));
    sec.records.insert(sec.records.end(), body.begin(), body.end());
}

void PayloadEncoder::BeginSection(const ovx::DeviceDetails& vq, bool nvRecords, bool cpRecords) {
    if (!sections_.empty())
        closedSectionBytes_ += DirectoryEntrySize(sections_.back()) + sections_.back().Size();
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
           VarSize(bytes::ZigZag(s.channel)) + VarSize(static_cast<std::uint32_t>(s.Size()));
}

std::size_t PayloadEncoder::Size() const {
    std::size_t n = names_.Size() + texts_.Size() + VarSize(nvLists_.count) + nvLists_.data.size() +
                    VarSize(cpLists_.count) + cpLists_.data.size() +
                    VarSize(static_cast<std::uint32_t>(sections_.size())) + closedSectionBytes_;
    if (!sections_.empty()) n += DirectoryEntrySize(sections_.back()) + sections_.back().Size();
    return n;
}

Buffer PayloadEncoder::Finish() const {
    Buffer out;
    out.reserve(Size());
    auto strings = [&out](const StringTable& t) {
        PutVar(out, t.count);
        out.insert(out.end(), t.data.begin(), t.data.end());
        t.Flush(out);
    };
    auto lists = [&out](const ListTable& t) {
        PutVar(out, t.count);
        out.insert(out.end(), t.data.begin(), t.data.end());
    };
    strings(names_);
    strings(texts_);
    lists(nvLists_);
    lists(cpLists_);
    PutVar(out, static_cast<std::uint32_t>(sections_.size()));
    for (const Section& s : sections_) {
        PutVar(out, s.vqHandle);
        PutVar(out, s.name);
        PutVar(out, s.sarvikId);
        PutVar(out, s.location);
        PutSVar(out, s.channel);
        PutVar(out, static_cast<std::uint32_t>(s.Size()));
    }
    for (const Section& s : sections_) {
        out.insert(out.end(), s.records.begin(), s.records.end());
        s.Flush(out);
    }
    return out;
}

}  // namespace ns2vq
