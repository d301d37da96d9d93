// Format version 1: a name table and a text table, front-coded against the
// previous string; records by section, each device field the difference
// from the section's previous device record; runs of equal device records
// as repeats. Read only: files of this version are still accepted.
#include <algorithm>

#include "PayloadReader.h"
#include "Records.h"

namespace ns2vq::detail {

namespace {

namespace strings {
constexpr std::uint32_t kLiteral = 0;  // shared prefix, then the rest as bytes
constexpr std::uint32_t kDecimal = 1;  // shared prefix, then a decimal number as a difference
constexpr std::uint32_t kRepeat = 2;   // the previous number entry again, n more times
constexpr std::uint32_t kBase36 = 3;   // shared prefix, then a 0-9A-Z number as a difference

using records::DigitValue;
using records::NumberText;

// Start of the trailing number of s in base 10 or 36, spelt without leading
// zero and short enough for 32 bits, or npos.
std::size_t NumberStart(const std::string& s, int base) {
    std::size_t i = s.size();
    while (i > 0 && DigitValue(s[i - 1], base) >= 0) --i;
    const std::size_t digits = s.size() - i;
    const std::size_t maxDigits = base == 10 ? 9 : 6;
    if (digits == 0 || digits > maxDigits || (digits > 1 && s[i] == '0')) return std::string::npos;
    return i;
}

std::int64_t NumberValue(const std::string& digits, int base) {
    std::int64_t v = 0;
    for (char c : digits) v = v * base + DigitValue(c, base);
    return v;
}

}  // namespace strings

class PayloadParser : public TableReader {
public:
    PayloadParser(const std::uint8_t* data, std::size_t size) : TableReader(data, size) {}

    ReadResult Parse(std::size_t headerSections, Q70File* out);

private:
    bool Strings(std::vector<std::string>* table, const char* what);
    bool Name(bytes::Reader& r, std::string* s) {
        const std::uint32_t i = r.Var();
        if (!r.ok() || i >= names_.size()) return false;
        *s = names_[i];
        return true;
    }
    struct DeviceFields {
        std::uint32_t handle = 0, name = 0, programId = 0, location = 0, sarvikId = 0, templateName = 0;
        std::int32_t channel = 0;
    };
    bool Device(bytes::Reader& r, DeviceFields& prev, ovx::DeviceDetails* d);
    bool Router(bytes::Reader& r, ovx::RouterDetails* router);
    std::vector<std::string> names_;
    std::size_t objects_ = 0;
};

// The string a number entry makes from the previous string.
bool NextNumber(const std::string& last, std::uint32_t kind, std::uint32_t shared, std::int32_t delta,
                std::string* out) {
    const int base = kind == strings::kDecimal ? 10 : 36;
    if (shared != strings::NumberStart(last, base)) return false;
    const std::int64_t value = strings::NumberValue(last.substr(shared), base) + delta;
    if (value < 0 || value > (base == 10 ? 999'999'999 : 2'176'782'335)) return false;
    *out = last.substr(0, shared) + strings::NumberText(value, base);
    return true;
}

bool PayloadParser::Strings(std::vector<std::string>* table, const char* what) {
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > kMaxStrings) return why_ = std::string("bad ") + what + " count", false;
    const std::string bad = std::string("bad entry in the ") + what + " table";
    table->reserve(std::min<std::size_t>(count, r_.Remaining()));
    std::string last;
    bool lastWasNumber = false;
    std::uint32_t lastKind = 0;
    std::uint32_t lastShared = 0;
    std::int32_t lastDelta = 0;
    auto add = [&](std::string s) {
        const bool within = Spend(s.size());
        table->push_back(s);
        last = std::move(s);
        return within;
    };
    while (table->size() < count) {
        const std::uint32_t header = r_.Var();
        const std::uint32_t shared = header >> 2;
        std::string s;
        switch (header & 3) {
            case strings::kLiteral: {
                const std::uint32_t rest = r_.Var();
                if (!r_.ok() || shared > last.size() || rest > r_.Remaining()) return why_ = bad, false;
                lastWasNumber = false;
                if (!add(last.substr(0, shared) + r_.Text(rest)))
                    return why_ = "strings expand beyond the reader's limit", false;
                break;
            }
            case strings::kDecimal:
            case strings::kBase36: {
                const std::int32_t delta = r_.SVar();
                if (!r_.ok() || !NextNumber(last, header & 3, shared, delta, &s)) return why_ = bad, false;
                lastWasNumber = true;
                lastKind = header & 3;
                lastShared = shared;
                lastDelta = delta;
                if (!add(std::move(s))) return why_ = "strings expand beyond the reader's limit", false;
                break;
            }
            case strings::kRepeat: {
                const std::uint32_t n = r_.Var();
                if (!r_.ok() || shared != 0 || !lastWasNumber || n == 0 || n > count - table->size())
                    return why_ = bad, false;
                for (std::uint32_t i = 0; i < n; ++i) {
                    if (!NextNumber(last, lastKind, lastShared, lastDelta, &s)) return why_ = bad, false;
                    if (!add(std::move(s))) return why_ = "strings expand beyond the reader's limit", false;
                }
                break;
            }
            default:
                return why_ = bad, false;
        }
    }
    return r_.ok();
}

bool PayloadParser::Device(bytes::Reader& r, DeviceFields& prev, ovx::DeviceDetails* d) {
    // Each field is the difference from the section's previous device record.
    auto next = [&r](std::uint32_t& field) {
        field += static_cast<std::uint32_t>(r.SVar());
        return field;
    };
    d->handle = next(prev.handle);
    const std::uint32_t name = next(prev.name), pid = next(prev.programId), location = next(prev.location),
                        sarvik = next(prev.sarvikId);
    prev.channel = static_cast<std::int32_t>(static_cast<std::uint32_t>(prev.channel) +
                                             static_cast<std::uint32_t>(r.SVar()));
    d->channelId = prev.channel;
    const std::uint32_t tmpl = next(prev.templateName);
    if (!r.ok() || name >= names_.size() || pid >= texts_.size() || location >= texts_.size() ||
        sarvik >= texts_.size() || tmpl >= texts_.size())
        return false;
    d->name = names_[name];
    d->programId = texts_[pid];
    d->location = texts_[location];
    d->sarvikId = texts_[sarvik];
    d->templateName = texts_[tmpl];
    const std::uint32_t nv = r.Var();
    const std::uint32_t cp = r.Var();
    if (!r.ok() || nv > nvLists_.size() || cp > cpLists_.size()) return false;
    if (nv) {
        d->nvs = nvLists_[nv - 1];
        d->templateNvCount = static_cast<int>(d->nvs.size());
        Expand(d->nvs.size());
    }
    if (cp) {
        d->cps = cpLists_[cp - 1];
        Expand(d->cps.size());
    }
    return Expand(0);
}

bool PayloadParser::Router(bytes::Reader& r, ovx::RouterDetails* router) {
    const std::uint32_t handle = r.Var();
    if (handle > 0xFFFF) return false;
    router->handle = static_cast<std::int16_t>(static_cast<std::uint16_t>(handle));
    if (!Name(r, &router->name)) return false;
    router->nearChannelId = r.SVar();
    router->farChannelId = r.SVar();
    return r.ok();
}

ReadResult PayloadParser::Parse(std::size_t headerSections, Q70File* out) {
    if (!Strings(&names_, "name") || !Strings(&texts_, "text") || !NvLists() || !CpLists())
        return Bad(why_.empty() ? "truncated tables" : why_);

    struct Entry {
        std::uint32_t handle, name, sarvik, location, size;
        std::int32_t channel;
    };
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > r_.Remaining() / 6) return Bad("bad section count");
    if (count != headerSections) return Bad("header and directory disagree on the number of sections");
    std::vector<Entry> dir(count);
    std::size_t total = 0;
    for (Entry& e : dir) {
        e.handle = r_.Var();
        e.name = r_.Var();
        e.sarvik = r_.Var();
        e.location = r_.Var();
        e.channel = r_.SVar();
        e.size = r_.Var();
        if (!r_.ok() || e.name >= names_.size() || e.sarvik >= texts_.size() || e.location >= texts_.size())
            return Bad("bad section directory entry");
        total += e.size;
    }
    if (total != r_.Remaining()) return Bad("section sizes do not add up to the payload");

    std::vector<Q70Section> sections(count);
    for (std::uint32_t si = 0; si < count; ++si) {
        const Entry& e = dir[si];
        Q70Section& section = sections[si];
        bytes::Reader records(r_.Position(), e.size);
        r_.Skip(e.size);
        bool haveVq = false;
        DeviceFields previous;
        const std::uint8_t* lastBody = nullptr;  // the last device record, for repeats
        std::size_t lastLen = 0;
        RecordType lastType = RecordType::Vq;
        const std::string where = "section " + std::to_string(si + 1);
        auto addDevice = [&](RecordType rt, const std::uint8_t* at, std::size_t len) {
            bytes::Reader body(at, len);
            ovx::DeviceDetails d;
            const bool ok = Device(body, previous, &d) && body.ok() && body.Remaining() == 0;
            if (rt == RecordType::Vq) {
                haveVq = true;
                section.vq = std::move(d);
            } else {
                (rt == RecordType::NearDevice ? section.nearDevices : section.farDevices)
                    .push_back(std::move(d));
            }
            return ok && ++objects_ <= kVqMaxObjects && Expand(0);
        };
        while (records.Remaining() > 0) {
            const std::uint8_t type = records.U8();
            const std::uint32_t len = records.Var();
            if (!records.ok() || len > records.Remaining()) return Bad("truncated record in " + where);
            const std::uint8_t* at = records.Position();
            records.Skip(len);
            if (type < 1 || type > 5)
                return Fail(N2VSTS_UNSUPPORTED_RECORD_TYPE,
                            "record type " + std::to_string(type) + " in " + where);
            const auto rt = static_cast<RecordType>(type);
            if ((rt == RecordType::Vq) == haveVq)
                return Bad(haveVq ? "second VQ record in " + where : where + " does not begin with its VQ");
            if (rt == RecordType::Router) {
                bytes::Reader body(at, len);
                ovx::RouterDetails router;
                if (section.router) return Bad("second router record in " + where);
                if (!Router(body, &router) || body.Remaining() != 0 || ++objects_ > kVqMaxObjects)
                    return Bad("malformed record in " + where);
                section.router = std::move(router);
                lastBody = nullptr;
            } else if (rt == RecordType::Repeat) {
                bytes::Reader body(at, len);
                const std::uint32_t n = body.Var();
                if (!body.ok() || body.Remaining() != 0 || n == 0 || !lastBody ||
                    n > kVqMaxObjects - objects_)
                    return Bad("malformed repeat in " + where);
                for (std::uint32_t i = 0; i < n; ++i)
                    if (!addDevice(lastType, lastBody, lastLen)) return Bad("malformed repeat in " + where);
            } else {
                if (!addDevice(rt, at, len)) return Bad("malformed record in " + where);
                lastBody = rt == RecordType::Vq ? nullptr : at;
                lastLen = len;
                lastType = rt;
            }
        }
        if (!haveVq) return Bad(where + " has no VQ record");
        const ovx::DeviceDetails& vq = section.vq;
        if (vq.handle != e.handle || vq.name != names_[e.name] || vq.sarvikId != texts_[e.sarvik] ||
            vq.location != texts_[e.location] || vq.channelId != e.channel)
            return Bad("directory key of " + where + " does not match its VQ");
    }
    if (out) out->sections = std::move(sections);
    return {};
}

}  // namespace

ReadResult ParsePayloadV1(const std::uint8_t* data, std::size_t size, std::size_t headerSections,
                          Q70File* out) {
    return PayloadParser(data, size).Parse(headerSections, out);
}

}  // namespace ns2vq::detail
