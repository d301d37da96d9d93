// The compiled form of a VQ program (.qpx bytes, carried in a .x file as
// hexadecimal text): its layout, the reader that checks a block of bytes
// before anything runs it, the writer the compiler uses, and the
// disassembler. docs/qpx-format.md describes the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qpx {

inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kMaxNameLength = 63;
inline constexpr int kMaxStack = 32;  // operand stack slots a handler may use
inline constexpr int kTimerCount = 16;

enum Op : std::uint8_t {
    kRet = 0x01,
    kPushS = 0x02,  // i16 immediate
    kPushK = 0x03,  // u16 constant index
    kLoadV = 0x04,
    kStoreV = 0x05,
    kLoadN = 0x06,
    kStoreN = 0x07,
    kAdd = 0x08,
    kSub = 0x09,
    kMul = 0x0A,
    kDiv = 0x0B,
    kMod = 0x0C,
    kNeg = 0x0D,
    kNot = 0x0E,
    kEq = 0x0F,
    kNe = 0x10,
    kLt = 0x11,
    kLe = 0x12,
    kGt = 0x13,
    kGe = 0x14,
    kJmp = 0x15,  // u32 code offset
    kJz = 0x16,
    kJnz = 0x17,
    kSend = 0x18,
    kTimerStart = 0x19,  // u8 timer
    kTimerStop = 0x1A,
};

// What an opcode is: its mnemonic, operand size in bytes, and what it does to
// the stack (pops, then pushes). Null for a byte that is no opcode.
struct OpInfo {
    const char* name;
    int operandSize;
    int pops;
    int pushes;
};
const OpInfo* Describe(std::uint8_t op);

enum class EventKind : std::uint8_t { Start = 1, Pin = 2, Commission = 3, Event = 4, Timer = 5, Update = 6 };
const char* EventKindName(EventKind kind);

enum class Direction : std::uint8_t { In = 0, Out = 1 };

struct Variable {
    std::string name;
    std::int32_t initial = 0;
};

struct NetworkVariable {
    std::string name;
    Direction direction = Direction::In;
    std::int32_t min = 0;
    std::int32_t max = 0;
};

struct Handler {
    EventKind kind = EventKind::Start;
    std::uint16_t code = 0;  // event code, timer number or network variable index
    std::uint32_t entry = 0;
};

// A program that passed every check of Load: all indexes are in range, every
// jump lands on an instruction, every path through a handler ends in RET with
// an empty stack and never needs more than kMaxStack slots.
struct Program {
    std::vector<std::int32_t> constants;
    std::vector<Variable> variables;
    std::vector<NetworkVariable> networkVariables;
    std::vector<Handler> handlers;
    std::vector<std::uint8_t> code;

    bool Empty() const { return handlers.empty() && variables.empty() && networkVariables.empty(); }
    const Handler* FindHandler(EventKind kind, std::uint16_t code) const;
    int FindNetworkVariable(std::string_view name) const;  // -1 when absent
};

// Reads and checks a block as a unit receives it. A block of zero bytes only
// is the empty program; zero bytes after a program's end are padding. On
// refusal returns false and sets *error to a short reason ("the header is cut
// short"), never throws for any input.
bool Load(const std::uint8_t* data, std::size_t size, Program* out, std::string* error);

// The bytes of a program (no padding). The compiler's output goes through
// Load in its tests, so writer and reader agree.
std::vector<std::uint8_t> Encode(const Program& program);

// The .x text: two upper-case hexadecimal digits per byte, nothing else.
std::string ToHex(const std::vector<std::uint8_t>& bytes);
// Reads .x text; a trailing line end is allowed. Nullopt if any other
// character is not a hexadecimal digit or the digits do not pair up.
std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text);

// One line per table entry and per instruction, as `qpicg dump` prints.
std::string Disassemble(const Program& program);
// The instructions of code[begin, end) only, one "OFFSET  MNEMONIC OPERAND" line each.
std::string DisassembleCode(const Program& program, std::uint32_t begin, std::uint32_t end);

}  // namespace qpx
