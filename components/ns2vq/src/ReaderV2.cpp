// The current format: text table, list tables, directory, then the records
// spread over columns, each coded against what came before (Records.h).
#include <deque>

#include "PayloadReader.h"
#include "Records.h"

namespace ns2vq::detail {

namespace {

using records::Coded;
using records::StringOp;

// A string operation: its header (and a literal's length) from ops, the
// literal's bytes from literals, a difference from numbers. Inline, all
// three are the same reader.
bool ReadOp(bytes::Reader& ops, bytes::Reader& literals, bytes::Reader& numbers, StringOp* op) {
    op->header = ops.Var();
    switch (op->header & 3) {
        case records::kOpLiteral: {
            const std::uint32_t length = ops.Var();
            if (!ops.ok() || length > literals.Remaining()) return false;
            op->literal = literals.Text(length);
            return literals.ok();
        }
        case records::kOpDecimal:
        case records::kOpBase36:
            op->delta = numbers.SVar();
            return ops.ok() && numbers.ok();
        default:
            return ops.ok();
    }
}

bool ReadOp(bytes::Reader& r, StringOp* op) {
    return ReadOp(r, r, r, op);
}

class PayloadParser : public TableReader {
public:
    PayloadParser(const std::uint8_t* data, std::size_t size) : TableReader(data, size) {}

    ReadResult Parse(std::size_t headerSections, Q70File* out);

private:
    bool RecordOp(bytes::Reader& ops, bytes::Reader& numbers, StringOp* op) {
        return ReadOp(ops, columns_[records::kLiterals], numbers, op);
    }
    bool Texts();
    bool Directory(std::size_t headerSections);
    bool Columns();
    bool ReadCoded(std::uint8_t kind, Coded* c);
    // Applies op to ref, counting the result against the text limit.
    bool Make(const std::string& ref, const StringOp& op, std::string* out) {
        if (!records::Apply(ref, op, out)) return false;
        if (!Spend(out->size())) return why_ = "strings expand beyond the reader's limit", false;
        return true;
    }
    bool List(bool cp, std::uint32_t templateText, std::uint32_t code, std::uint32_t byIndex,
              std::uint32_t* index);
    // Turns a coded record into the section's next object; why_ says what is wrong.
    bool Decode(const Coded& c, Q70Section& section, bool& haveVq);

    struct Entry {
        std::uint32_t records = 0;
        std::string sarvik;
    };
    std::vector<Entry> directory_;
    std::vector<bytes::Reader> columns_;
    records::State state_;
};

bool PayloadParser::Texts() {
    const std::uint32_t count = r_.Var();
    // Every entry takes at least one byte.
    if (!r_.ok() || count > kMaxStrings || count > r_.Remaining()) return why_ = "bad text count", false;
    texts_.reserve(count);
    std::string last;
    while (texts_.size() < count) {
        StringOp op;
        std::string s;
        if (!ReadOp(r_, &op) || !records::Apply(last, op, &s))
            return why_ = "bad entry in the text table", false;
        if (!Spend(s.size())) return why_ = "strings expand beyond the reader's limit", false;
        texts_.push_back(s);
        last = std::move(s);
    }
    return true;
}

bool PayloadParser::Directory(std::size_t headerSections) {
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > r_.Remaining() / 2) return why_ = "bad section count", false;
    if (count != headerSections)
        return why_ = "header and directory disagree on the number of sections", false;
    directory_.resize(count);
    std::size_t objects = 0;
    std::string last;
    for (Entry& e : directory_) {
        StringOp op;
        e.records = r_.Var();
        if (!r_.ok() || e.records == 0 || !ReadOp(r_, &op) || !Make(last, op, &e.sarvik)) {
            if (why_.empty()) why_ = "bad section directory entry";
            return false;
        }
        objects += e.records;
        if (objects > kVqMaxObjects) return why_ = "more devices and routers than a VQ holds", false;
        last = e.sarvik;
    }
    return true;
}

bool PayloadParser::Columns() {
    for (std::size_t c = 0; c < records::kColumnCount; ++c) {
        const std::uint32_t length = r_.Var();
        if (!r_.ok() || length > r_.Remaining()) return why_ = "truncated column", false;
        columns_.emplace_back(r_.Position(), length);
        r_.Skip(length);
    }
    if (r_.Remaining() != 0) return why_ = "bytes after the last column", false;
    return true;
}

bool PayloadParser::ReadCoded(std::uint8_t kind, Coded* c) {
    using namespace records;
    c->kind = kind;
    if (kind == kKindRouter) {
        bytes::Reader& routers = columns_[kRouters];
        c->routerHandle = routers.Var();
        const bool name = RecordOp(columns_[kNameOps], columns_[kNameNumbers], &c->name);
        c->nearChannel = routers.SVar();
        c->farChannel = routers.SVar();
        return name && routers.ok() && c->routerHandle <= 0xFFFF;
    }
    c->templateText = columns_[kTemplates].Var();
    c->handle = columns_[kHandles].SVar();
    const bool ops = RecordOp(columns_[kNameOps], columns_[kNameNumbers], &c->name) &&
                     RecordOp(columns_[kLocationOps], columns_[kLocationNumbers], &c->location) &&
                     RecordOp(columns_[kSarvikOps], columns_[kSarvikNumbers], &c->sarvik);
    c->program = columns_[kPrograms].SVar();
    c->channel = columns_[kChannels].SVar();
    c->nvCode = columns_[kNvLists].Var();
    if (c->nvCode == kListByIndex) c->nvIndex = columns_[kListIndices].Var();
    c->cpCode = columns_[kCpLists].Var();
    if (c->cpCode == kListByIndex) c->cpIndex = columns_[kListIndices].Var();
    for (const Column col : {kTemplates, kHandles, kPrograms, kChannels, kNvLists, kCpLists, kListIndices})
        if (!columns_[col].ok()) return false;
    return ops;
}

bool PayloadParser::List(bool cp, std::uint32_t templateText, std::uint32_t code, std::uint32_t byIndex,
                         std::uint32_t* index) {
    std::vector<std::uint32_t>& recent = state_.RecentLists(cp, templateText);
    if (code == records::kListByIndex) {
        *index = byIndex;
    } else {
        const std::uint32_t at = code - records::kListRecent;
        if (at >= recent.size()) return false;
        *index = recent[at];
    }
    if (*index >= (cp ? cpLists_.size() : nvLists_.size())) return false;
    records::State::Use(recent, *index);
    return true;
}

bool PayloadParser::Decode(const Coded& c, Q70Section& section, bool& haveVq) {
    if ((c.kind == records::kKindVq) == haveVq)
        return why_ = haveVq ? "second VQ record" : "does not begin with its VQ", false;
    if (c.kind == records::kKindRouter) {
        if (section.router) return why_ = "second router record", false;
        std::string name;
        if (!Make(state_.RouterName(), c.name, &name)) return why_ = "malformed router record", false;
        state_.RouterName() = name;
        section.router =
            ovx::RouterDetails{static_cast<std::int16_t>(static_cast<std::uint16_t>(c.routerHandle)),
                               std::move(name), c.nearChannel, c.farChannel};
        return true;
    }
    why_ = "malformed device record";
    if (c.templateText >= texts_.size()) return false;
    const records::State::Device previous = state_.Previous();
    const records::State::Device context = state_.Context(c.templateText);
    records::State::Device now;
    now.handle = previous.handle + static_cast<std::uint32_t>(c.handle);
    now.program = context.program + static_cast<std::uint32_t>(c.program);
    now.channel = static_cast<std::int32_t>(static_cast<std::uint32_t>(previous.channel) +
                                            static_cast<std::uint32_t>(c.channel));
    if (!Make(context.name, c.name, &now.name) || !Make(previous.location, c.location, &now.location) ||
        !Make(context.sarvik, c.sarvik, &now.sarvik) || now.program >= texts_.size())
        return false;
    ovx::DeviceDetails d;
    std::uint32_t list = 0;
    if (c.nvCode != records::kListNone) {
        if (!List(false, c.templateText, c.nvCode, c.nvIndex, &list)) return false;
        d.nvs = nvLists_[list];
        d.templateNvCount = static_cast<int>(d.nvs.size());
    }
    if (c.cpCode != records::kListNone) {
        if (!List(true, c.templateText, c.cpCode, c.cpIndex, &list)) return false;
        d.cps = cpLists_[list];
    }
    if (!Expand(d.nvs.size() + d.cps.size())) return why_ = "lists expand beyond the reader's limit", false;
    state_.Seen(c.templateText, now);
    d.handle = now.handle;
    d.name = std::move(now.name);
    d.programId = texts_[now.program];
    d.location = std::move(now.location);
    d.sarvikId = std::move(now.sarvik);
    d.channelId = now.channel;
    d.templateName = texts_[c.templateText];
    if (c.kind == records::kKindVq) {
        haveVq = true;
        section.vq = std::move(d);
    } else {
        (c.kind == records::kKindNear ? section.nearDevices : section.farDevices).push_back(std::move(d));
    }
    return true;
}

ReadResult PayloadParser::Parse(std::size_t headerSections, Q70File* out) {
    if (!Texts() || !NvLists() || !CpLists() || !Directory(headerSections) || !Columns())
        return Bad(why_.empty() ? "truncated tables" : why_);
    std::vector<Q70Section> sections(directory_.size());
    std::deque<Coded> history;
    auto remember = [&history](const Coded& c) {
        history.push_back(c);
        if (history.size() > records::kHistory) history.pop_front();
    };
    bytes::Reader& kinds = columns_[records::kKinds];
    bytes::Reader& copies = columns_[records::kCopies];
    for (std::size_t si = 0; si < sections.size(); ++si) {
        Q70Section& section = sections[si];
        const std::string where = " in section " + std::to_string(si + 1);
        bool haveVq = false;
        std::uint32_t remaining = directory_[si].records;
        while (remaining > 0) {
            const std::uint8_t kind = kinds.U8();
            if (!kinds.ok()) return Bad("record kinds end early" + where);
            if (kind == records::kKindCopy) {
                const std::uint64_t distance = std::uint64_t{copies.Var()} + 1;
                const std::uint64_t count = std::uint64_t{copies.Var()} + records::kMinCopy;
                if (!copies.ok() || distance > history.size() || count > remaining)
                    return Bad("malformed copy" + where);
                for (std::uint64_t i = 0; i < count; ++i) {
                    const Coded c = history[history.size() - distance];
                    if (c.kind == records::kKindVq) return Bad("a copy repeats a VQ record" + where);
                    if (!Decode(c, section, haveVq)) return Bad(why_ + where);
                    remember(c);
                }
                remaining -= static_cast<std::uint32_t>(count);
            } else if (kind >= records::kKindVq && kind <= records::kKindFar) {
                Coded c;
                if (!ReadCoded(kind, &c)) return Bad("truncated or malformed record" + where);
                if (!Decode(c, section, haveVq)) return Bad(why_ + where);
                remember(c);
                --remaining;
            } else {
                return Fail(N2VSTS_UNSUPPORTED_RECORD_TYPE, "record type " + std::to_string(kind) + where);
            }
        }
        if (section.vq.sarvikId != directory_[si].sarvik)
            return Bad("directory key" + where + " does not match its VQ");
    }
    for (std::size_t c = 0; c < columns_.size(); ++c)
        if (columns_[c].Remaining() != 0) return Bad("column " + std::to_string(c) + " has bytes left over");
    if (out) out->sections = std::move(sections);
    return {};
}

}  // namespace

ReadResult ParsePayload(const std::uint8_t* data, std::size_t size, std::size_t headerSections,
                        Q70File* out) {
    return PayloadParser(data, size).Parse(headerSections, out);
}

}  // namespace ns2vq::detail
