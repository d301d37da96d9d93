#include "Records.h"

#include <algorithm>
#include <cstdlib>

namespace ns2vq::records {

using bytes::PutSVar;
using bytes::PutVar;

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 36 && c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

std::string NumberText(std::int64_t value, int base, std::size_t width) {
    static const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value);
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

namespace {

std::size_t MaxDigits(int base) {
    return base == 10 ? 9 : 6;
}

std::int64_t MaxValue(int base) {
    return base == 10 ? 999'999'999 : 2'176'782'335;
}

int BaseOf(std::uint32_t kind) {
    return kind == kOpDecimal ? 10 : 36;
}

}  // namespace

std::size_t NumberStart(const std::string& ref, int base) {
    std::size_t i = ref.size();
    while (i > 0 && ref.size() - i < MaxDigits(base) && DigitValue(ref[i - 1], base) >= 0) --i;
    return i == ref.size() ? std::string::npos : i;
}

bool Apply(const std::string& ref, const StringOp& op, std::string* out) {
    const std::uint32_t kind = op.header & 3;
    if (kind == kOpLiteral) {
        const std::size_t shared = op.header >> 2;
        if (shared > ref.size()) return false;
        *out = ref.substr(0, shared) + op.literal;
        return true;
    }
    if (op.header != kind) return false;
    if (kind == kOpSame) {
        *out = ref;
        return true;
    }
    const int base = BaseOf(kind);
    const std::size_t start = NumberStart(ref, base);
    if (start == std::string::npos) return false;
    std::int64_t value = 0;
    for (std::size_t i = start; i < ref.size(); ++i) value = value * base + DigitValue(ref[i], base);
    value += op.delta;
    if (value < 0 || value > MaxValue(base)) return false;
    *out = ref.substr(0, start) + NumberText(value, base, ref.size() - start);
    return true;
}

StringOp Choose(const std::string& ref, const std::string& s, bool preferBase36) {
    if (s == ref) return StringOp{kOpSame, {}, 0};
    StringOp best;
    bool found = false;
    for (const std::uint32_t kind : {kOpDecimal, kOpBase36}) {
        const int base = BaseOf(kind);
        const std::size_t start = NumberStart(ref, base);
        // The new number may be a digit or two longer than the old one.
        if (start == std::string::npos || s.size() < ref.size() || s.size() > ref.size() + 2 ||
            s.compare(0, start, ref, 0, start) != 0)
            continue;
        std::int64_t from = 0, to = 0;
        bool digits = true;
        for (std::size_t i = start; i < ref.size(); ++i) from = from * base + DigitValue(ref[i], base);
        for (std::size_t i = start; i < s.size() && digits; ++i) {
            const int d = DigitValue(s[i], base);
            digits = d >= 0;
            to = to * base + d;
        }
        const std::int64_t delta = to - from;
        if (!digits || delta < INT32_MIN || delta > INT32_MAX) continue;
        const StringOp op{kind, {}, static_cast<std::int32_t>(delta)};
        std::string made;
        if (!Apply(ref, op, &made) || made != s) continue;
        const bool better =
            !found || std::llabs(delta) < std::llabs(best.delta) ||
            (std::llabs(delta) == std::llabs(best.delta) && preferBase36 && kind == kOpBase36);
        if (better) best = op;
        found = true;
    }
    if (found) return best;
    std::size_t shared = 0;
    while (shared < ref.size() && shared < s.size() && ref[shared] == s[shared]) ++shared;
    return StringOp{static_cast<std::uint32_t>(shared << 2) | kOpLiteral, s.substr(shared), 0};
}

void State::Use(std::vector<std::uint32_t>& recent, std::uint32_t index) {
    auto it = std::find(recent.begin(), recent.end(), index);
    if (it == recent.end()) {
        if (recent.size() == kRecentLists) recent.pop_back();
        recent.insert(recent.begin(), index);
    } else {
        std::rotate(recent.begin(), it, it + 1);
    }
}

void PutOp(bytes::Buffer& ops, bytes::Buffer& literals, bytes::Buffer& numbers, const StringOp& op) {
    PutVar(ops, op.header);
    switch (op.header & 3) {
        case kOpLiteral:
            PutVar(ops, static_cast<std::uint32_t>(op.literal.size()));
            literals.insert(literals.end(), op.literal.begin(), op.literal.end());
            break;
        case kOpDecimal:
        case kOpBase36:
            PutSVar(numbers, op.delta);
            break;
        default:
            break;
    }
}

void PutOp(bytes::Buffer& b, const StringOp& op) {
    PutOp(b, b, b, op);
}

void Put(Columns& c, const Coded& r) {
    c[kKinds].push_back(r.kind);
    if (r.kind == kKindRouter) {
        PutVar(c[kRouters], r.routerHandle);
        PutOp(c[kNameOps], c[kLiterals], c[kNameNumbers], r.name);
        PutSVar(c[kRouters], r.nearChannel);
        PutSVar(c[kRouters], r.farChannel);
        return;
    }
    PutVar(c[kTemplates], r.templateText);
    PutSVar(c[kHandles], r.handle);
    PutOp(c[kNameOps], c[kLiterals], c[kNameNumbers], r.name);
    PutOp(c[kLocationOps], c[kLiterals], c[kLocationNumbers], r.location);
    PutOp(c[kSarvikOps], c[kLiterals], c[kSarvikNumbers], r.sarvik);
    PutSVar(c[kPrograms], r.program);
    PutSVar(c[kChannels], r.channel);
    PutVar(c[kNvLists], r.nvCode);
    if (r.nvCode == kListByIndex) PutVar(c[kListIndices], r.nvIndex);
    PutVar(c[kCpLists], r.cpCode);
    if (r.cpCode == kListByIndex) PutVar(c[kListIndices], r.cpIndex);
}

}  // namespace ns2vq::records
