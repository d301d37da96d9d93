#include "qpicg/qpx.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace qpx {

namespace {

constexpr OpInfo kOps[] = {
    {nullptr, 0, 0, 0},  {"RET", 0, 0, 0},   {"PUSHS", 2, 0, 1},  {"PUSHK", 2, 0, 1}, {"LOADV", 2, 0, 1},
    {"STOREV", 2, 1, 0}, {"LOADN", 2, 0, 1}, {"STOREN", 2, 1, 0}, {"ADD", 0, 2, 1},   {"SUB", 0, 2, 1},
    {"MUL", 0, 2, 1},    {"DIV", 0, 2, 1},   {"MOD", 0, 2, 1},    {"NEG", 0, 1, 1},   {"NOT", 0, 1, 1},
    {"EQ", 0, 2, 1},     {"NE", 0, 2, 1},    {"LT", 0, 2, 1},     {"LE", 0, 2, 1},    {"GT", 0, 2, 1},
    {"GE", 0, 2, 1},     {"JMP", 4, 0, 0},   {"JZ", 4, 1, 0},     {"JNZ", 4, 1, 0},   {"SEND", 0, 1, 0},
    {"TSTART", 1, 1, 0}, {"TSTOP", 1, 0, 0},
};

struct Reader {
    const std::uint8_t* p;
    std::size_t size;
    std::size_t pos = 0;
    bool Has(std::size_t n) const { return size - pos >= n; }
    std::uint8_t U8() { return p[pos++]; }
    std::uint16_t U16() {
        std::uint16_t v = std::uint16_t(p[pos] | p[pos + 1] << 8);
        pos += 2;
        return v;
    }
    std::uint32_t U32() {
        std::uint32_t v = std::uint32_t(p[pos]) | std::uint32_t(p[pos + 1]) << 8 |
                          std::uint32_t(p[pos + 2]) << 16 | std::uint32_t(p[pos + 3]) << 24;
        pos += 4;
        return v;
    }
};

std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

bool IsName(std::string_view s) {
    if (s.empty() || s.size() > kMaxNameLength) return false;
    auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!alpha(s[0])) return false;
    return std::all_of(s.begin(), s.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

bool ReadName(Reader& r, std::string* name) {
    if (!r.Has(1)) return false;
    const std::size_t n = r.U8();
    if (!r.Has(n)) return false;
    name->assign(reinterpret_cast<const char*>(r.p + r.pos), n);
    r.pos += n;
    return IsName(*name);
}

std::string Hex(std::uint32_t v, int digits) {
    static const char* d = "0123456789ABCDEF";
    std::string s(digits, '0');
    for (int i = digits - 1; i >= 0; --i, v >>= 4) s[i] = d[v & 15];
    return s;
}

// The control flow check: walks every path from each handler entry with the
// stack depth it would have, so the interpreter needs no check of its own.
bool CheckCode(const Program& prog, std::string* error) {
    const auto& code = prog.code;
    const std::size_t n = code.size();
    std::vector<char> starts(n + 1, 0);
    for (std::size_t pc = 0; pc < n;) {
        const OpInfo* info = Describe(code[pc]);
        if (!info) {
            *error =
                "byte " + Hex(code[pc], 2) + " at code offset " + std::to_string(pc) + " is no instruction";
            return false;
        }
        if (n - pc - 1 < std::size_t(info->operandSize)) {
            *error = "the code ends inside the instruction at offset " + std::to_string(pc);
            return false;
        }
        starts[pc] = 1;
        const std::uint8_t op = code[pc];
        const std::uint8_t* operand = code.data() + pc + 1;
        switch (op) {
            case kPushK:
                if (Le16(operand) >= prog.constants.size()) {
                    *error = "constant " + std::to_string(Le16(operand)) + " at code offset " +
                             std::to_string(pc) + " does not exist";
                    return false;
                }
                break;
            case kLoadV:
            case kStoreV:
                if (Le16(operand) >= prog.variables.size()) {
                    *error = "variable " + std::to_string(Le16(operand)) + " at code offset " +
                             std::to_string(pc) + " does not exist";
                    return false;
                }
                break;
            case kLoadN:
            case kStoreN:
                if (Le16(operand) >= prog.networkVariables.size()) {
                    *error = "network variable " + std::to_string(Le16(operand)) + " at code offset " +
                             std::to_string(pc) + " does not exist";
                    return false;
                }
                if (op == kStoreN && prog.networkVariables[Le16(operand)].direction != Direction::Out) {
                    *error = "the code at offset " + std::to_string(pc) +
                             " writes the input network variable " +
                             prog.networkVariables[Le16(operand)].name;
                    return false;
                }
                break;
            case kTimerStart:
            case kTimerStop:
                if (operand[0] >= kTimerCount) {
                    *error = "timer " + std::to_string(operand[0]) + " at code offset " + std::to_string(pc) +
                             " does not exist";
                    return false;
                }
                break;
            default:
                break;
        }
        pc += 1 + info->operandSize;
    }

    std::vector<int> depth(n, -1);
    for (const Handler& h : prog.handlers) {
        std::vector<std::pair<std::uint32_t, int>> work{{h.entry, 0}};
        while (!work.empty()) {
            auto [pc, d] = work.back();
            work.pop_back();
            for (;;) {
                if (pc >= n) {
                    *error = "a handler runs past the end of the code";
                    return false;
                }
                if (!starts[pc]) {
                    *error = "a jump or entry at code offset " + std::to_string(pc) +
                             " lands inside an instruction";
                    return false;
                }
                if (depth[pc] >= 0) {
                    if (depth[pc] != d) {
                        *error =
                            "the stack depth at code offset " + std::to_string(pc) + " depends on the path";
                        return false;
                    }
                    break;
                }
                depth[pc] = d;
                const std::uint8_t op = code[pc];
                const OpInfo* info = Describe(op);
                if (d < info->pops) {
                    *error =
                        "the instruction at code offset " + std::to_string(pc) + " takes from an empty stack";
                    return false;
                }
                d = d - info->pops + info->pushes;
                if (d > kMaxStack) {
                    *error = "the code at offset " + std::to_string(pc) + " needs more than " +
                             std::to_string(kMaxStack) + " stack slots";
                    return false;
                }
                if (op == kRet) {
                    if (d != 0) {
                        *error = "the handler returns at code offset " + std::to_string(pc) +
                                 " with values on the stack";
                        return false;
                    }
                    break;
                }
                if (op == kJmp || op == kJz || op == kJnz) {
                    const std::uint32_t target = Le32(code.data() + pc + 1);
                    if (target >= n) {
                        *error = "the jump at code offset " + std::to_string(pc) + " leaves the code";
                        return false;
                    }
                    if (op == kJmp) {
                        pc = target;
                        continue;
                    }
                    work.push_back({target, d});
                }
                pc += 1 + info->operandSize;
            }
        }
    }
    return true;
}

}  // namespace

const OpInfo* Describe(std::uint8_t op) {
    if (op == 0 || op >= sizeof(kOps) / sizeof(kOps[0])) return nullptr;
    return &kOps[op];
}

const char* EventKindName(EventKind kind) {
    switch (kind) {
        case EventKind::Start:
            return "start";
        case EventKind::Pin:
            return "pin";
        case EventKind::Commission:
            return "commission";
        case EventKind::Event:
            return "event";
        case EventKind::Timer:
            return "timer";
        case EventKind::Update:
            return "update";
    }
    return "?";
}

const Handler* Program::FindHandler(EventKind kind, std::uint16_t c) const {
    for (const Handler& h : handlers)
        if (h.kind == kind && h.code == c) return &h;
    return nullptr;
}

int Program::FindNetworkVariable(std::string_view name) const {
    for (std::size_t i = 0; i < networkVariables.size(); ++i)
        if (networkVariables[i].name == name) return int(i);
    return -1;
}

bool Load(const std::uint8_t* data, std::size_t size, Program* out, std::string* error) {
    *out = Program{};
    if (size == 0) {
        *error = "the program is empty";
        return false;
    }
    if (std::all_of(data, data + size, [](std::uint8_t b) { return b == 0; })) return true;
    if (size < kHeaderSize) {
        *error = "the header is cut short";
        return false;
    }
    if (std::memcmp(data, "QPX", 3) != 0) {
        *error = "it is not a compiled program (no QPX header)";
        return false;
    }
    if (data[3] != kVersion) {
        *error =
            "its format version " + std::to_string(data[3]) + " is not version " + std::to_string(kVersion);
        return false;
    }
    Reader r{data, size, 4};
    const std::size_t nConst = r.U16(), nVar = r.U16(), nNv = r.U16(), nHandler = r.U16();
    const std::uint32_t codeSize = r.U32();
    Program prog;
    // Seen names and events, so that a large table costs no more than its sorting.
    std::set<std::string> nvNames;
    std::set<std::pair<int, int>> events;
    if (!r.Has(nConst * 4)) {
        *error = "the constant table is cut short";
        return false;
    }
    for (std::size_t i = 0; i < nConst; ++i) prog.constants.push_back(std::int32_t(r.U32()));
    for (std::size_t i = 0; i < nVar; ++i) {
        Variable v;
        if (!r.Has(4)) {
            *error = "the variable table is cut short";
            return false;
        }
        v.initial = std::int32_t(r.U32());
        if (!ReadName(r, &v.name)) {
            *error = "variable " + std::to_string(i) + " has no valid name";
            return false;
        }
        prog.variables.push_back(std::move(v));
    }
    for (std::size_t i = 0; i < nNv; ++i) {
        NetworkVariable nv;
        if (!r.Has(9)) {
            *error = "the network variable table is cut short";
            return false;
        }
        const std::uint8_t dir = r.U8();
        nv.min = std::int32_t(r.U32());
        nv.max = std::int32_t(r.U32());
        if (!ReadName(r, &nv.name)) {
            *error = "network variable " + std::to_string(i) + " has no valid name";
            return false;
        }
        if (dir > 1 || nv.min > nv.max) {
            *error = "network variable " + nv.name + " has a bad direction or range";
            return false;
        }
        nv.direction = Direction(dir);
        if (!nvNames.insert(nv.name).second) {
            *error = "network variable " + nv.name + " is listed twice";
            return false;
        }
        prog.networkVariables.push_back(std::move(nv));
    }
    if (!r.Has(nHandler * 8)) {
        *error = "the handler table is cut short";
        return false;
    }
    for (std::size_t i = 0; i < nHandler; ++i) {
        Handler h;
        const std::uint8_t kind = r.U8();
        const std::uint8_t reserved = r.U8();
        h.code = r.U16();
        h.entry = r.U32();
        const bool codeOk = (kind >= 1 && kind <= 3 && h.code == 0) || kind == 4 ||
                            (kind == 5 && h.code < kTimerCount) ||
                            (kind == 6 && h.code < prog.networkVariables.size() &&
                             prog.networkVariables[h.code].direction == Direction::In);
        if (reserved != 0 || !codeOk) {
            *error = "handler " + std::to_string(i) + " is for no event a unit has";
            return false;
        }
        h.kind = EventKind(kind);
        if (!events.insert({kind, h.code}).second) {
            *error = "handler " + std::to_string(i) + " handles an event that an earlier one handles";
            return false;
        }
        prog.handlers.push_back(h);
    }
    if (!r.Has(codeSize)) {
        *error = "the code is cut short";
        return false;
    }
    prog.code.assign(data + r.pos, data + r.pos + codeSize);
    r.pos += codeSize;
    if (!std::all_of(data + r.pos, data + size, [](std::uint8_t b) { return b == 0; })) {
        *error = "there are bytes after the end of the program";
        return false;
    }
    if (!CheckCode(prog, error)) return false;
    *out = std::move(prog);
    return true;
}

std::vector<std::uint8_t> Encode(const Program& p) {
    std::vector<std::uint8_t> b;
    auto u8 = [&](std::uint32_t v) { b.push_back(std::uint8_t(v)); };
    auto u16 = [&](std::uint32_t v) { u8(v), u8(v >> 8); };
    auto u32 = [&](std::uint32_t v) { u16(v), u16(v >> 16); };
    auto name = [&](const std::string& s) {
        u8(std::uint32_t(s.size()));
        b.insert(b.end(), s.begin(), s.end());
    };
    b.reserve(kHeaderSize + p.code.size() +
              16 * (p.constants.size() + p.variables.size() + p.networkVariables.size()));
    for (char c : {'Q', 'P', 'X'}) u8(std::uint8_t(c));
    u8(kVersion);
    u16(std::uint32_t(p.constants.size()));
    u16(std::uint32_t(p.variables.size()));
    u16(std::uint32_t(p.networkVariables.size()));
    u16(std::uint32_t(p.handlers.size()));
    u32(std::uint32_t(p.code.size()));
    for (std::int32_t c : p.constants) u32(std::uint32_t(c));
    for (const Variable& v : p.variables) u32(std::uint32_t(v.initial)), name(v.name);
    for (const NetworkVariable& nv : p.networkVariables)
        u8(std::uint32_t(nv.direction)), u32(std::uint32_t(nv.min)), u32(std::uint32_t(nv.max)),
            name(nv.name);
    for (const Handler& h : p.handlers) u8(std::uint32_t(h.kind)), u8(0), u16(h.code), u32(h.entry);
    b.insert(b.end(), p.code.begin(), p.code.end());
    return b;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) s += Hex(b, 2);
    return s;
}

std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text) {
    if (text.size() >= 1 && text.back() == '\n') text.remove_suffix(1);
    if (text.size() >= 1 && text.back() == '\r') text.remove_suffix(1);
    if (text.size() % 2) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(std::uint8_t(hi << 4 | lo));
    }
    return out;
}

std::string DisassembleCode(const Program& p, std::uint32_t begin, std::uint32_t end) {
    std::string s;
    for (std::uint32_t pc = begin; pc < end && pc < p.code.size();) {
        const std::uint8_t op = p.code[pc];
        const OpInfo* info = Describe(op);
        s += Hex(pc, 4) + "  ";
        if (!info || p.code.size() - pc - 1 < std::size_t(info->operandSize)) {
            s += "?? " + Hex(op, 2) + "\n";
            ++pc;
            continue;
        }
        s += info->name;
        const std::uint8_t* a = p.code.data() + pc + 1;
        switch (op) {
            case kPushS:
                s += " " + std::to_string(std::int16_t(Le16(a)));
                break;
            case kPushK: {
                const std::uint16_t k = Le16(a);
                s += " #" + std::to_string(k);
                if (k < p.constants.size()) s += " (" + std::to_string(p.constants[k]) + ")";
                break;
            }
            case kLoadV:
            case kStoreV: {
                const std::uint16_t k = Le16(a);
                s += " " + (k < p.variables.size() ? p.variables[k].name : "#" + std::to_string(k));
                break;
            }
            case kLoadN:
            case kStoreN: {
                const std::uint16_t k = Le16(a);
                s += " " +
                     (k < p.networkVariables.size() ? p.networkVariables[k].name : "#" + std::to_string(k));
                break;
            }
            case kJmp:
            case kJz:
            case kJnz:
                s += " " + Hex(Le32(a), 4);
                break;
            case kTimerStart:
            case kTimerStop:
                s += " " + std::to_string(a[0]);
                break;
            default:
                break;
        }
        s += "\n";
        pc += 1 + info->operandSize;
    }
    return s;
}

std::string Disassemble(const Program& p) {
    std::string s;
    if (p.Empty()) return "empty program\n";
    for (std::size_t i = 0; i < p.constants.size(); ++i)
        s += "const #" + std::to_string(i) + " = " + std::to_string(p.constants[i]) + "\n";
    for (const Variable& v : p.variables) s += "var " + v.name + " = " + std::to_string(v.initial) + "\n";
    for (const NetworkVariable& nv : p.networkVariables)
        s += std::string("nv ") + nv.name + (nv.direction == Direction::In ? " in " : " out ") +
             std::to_string(nv.min) + ".." + std::to_string(nv.max) + "\n";
    // Handlers in code order, each with the code up to the next entry.
    std::vector<const Handler*> order;
    for (const Handler& h : p.handlers) order.push_back(&h);
    std::stable_sort(order.begin(), order.end(), [](auto a, auto b) { return a->entry < b->entry; });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Handler& h = *order[i];
        s += std::string("when ") + EventKindName(h.kind);
        if (h.kind == EventKind::Event || h.kind == EventKind::Timer) s += " " + std::to_string(h.code);
        if (h.kind == EventKind::Update)
            s += " " + (h.code < p.networkVariables.size() ? p.networkVariables[h.code].name
                                                           : std::to_string(h.code));
        s += ":\n";
        const std::uint32_t end = i + 1 < order.size() ? order[i + 1]->entry : std::uint32_t(p.code.size());
        s += DisassembleCode(p, h.entry, end);
    }
    return s;
}

}  // namespace qpx
