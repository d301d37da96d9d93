// The .qpl compiler: one pass, a hand-written lexer, a recursive-descent
// parser that emits code as it goes, and one error function. The grammar rule
// a function parses stands above it; docs/qpl.md has the whole grammar.
#include <climits>
#include <map>

#include "names.h"
#include "qpicg/compiler.h"

namespace qpicg {

namespace {

using namespace qpx;

constexpr int kMaxNesting = 48;

enum class Tok { End, Name, Number, Punct };

struct Token {
    Tok kind = Tok::End;
    std::string_view text;
    std::int64_t value = 0;  // Number
    int line = 1, column = 1;
};

// What an expression left on the stack: int, or a value of an enumeration
// type; constant when it is a literal or an enumeration value.
struct Value {
    int type = 0;  // 0: int; otherwise an enumeration in the type set
    bool constant = false;
    std::int64_t value = 0;
};

struct Failure {};

class Compiler {
public:
    Compiler(std::string_view src, const std::string& file, const TypeSet& types)
        : m_src(src), m_file(file), m_types(types) {}

    CompileResult Run() {
        CompileResult result;
        // A byte order mark, as some Windows editors write, is not part of the text.
        if (m_src.substr(0, 3) == "\xEF\xBB\xBF") m_pos = 3;
        try {
            Advance();
            ParseProgram();
            result.ok = true;
            result.program = std::move(m_prog);
        } catch (const Failure&) {
            result.error = m_error;
        }
        return result;
    }

private:
    // ---- errors --------------------------------------------------------

    // The one way out for every fault in the source: records where and what.
    [[noreturn]] void Error(int line, int column, std::string message) {
        m_error = Diagnostic{m_file, line, column, std::move(message)};
        throw Failure{};
    }
    [[noreturn]] void Error(const Token& at, std::string message) {
        Error(at.line, at.column, std::move(message));
    }

    static std::string Show(const Token& t) {
        if (t.kind == Tok::End) return "end of file";
        if (t.text.size() > 40) return "'" + std::string(t.text.substr(0, 40)) + "...'";
        return "'" + std::string(t.text) + "'";
    }

    // ---- lexer ---------------------------------------------------------

    void Advance() { m_tok = Lex(); }

    Token Lex() {
        for (;;) {
            if (m_pos >= m_src.size()) return Token{Tok::End, {}, 0, m_line, m_col};
            const char c = m_src[m_pos];
            if (c == '\n') {
                ++m_pos, ++m_line, m_col = 1;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++m_pos, ++m_col;
            } else if (c == '#') {
                while (m_pos < m_src.size() && m_src[m_pos] != '\n') ++m_pos;
            } else {
                break;
            }
        }
        Token t;
        t.line = m_line;
        t.column = m_col;
        const std::size_t start = m_pos;
        const char c = m_src[m_pos];
        if (IsNameStart(c)) {
            while (m_pos < m_src.size() && IsNameChar(m_src[m_pos])) ++m_pos;
            t.kind = Tok::Name;
        } else if (c >= '0' && c <= '9') {
            t.kind = Tok::Number;
            int base = 10;
            if (c == '0' && m_pos + 1 < m_src.size() && (m_src[m_pos + 1] == 'x' || m_src[m_pos + 1] == 'X'))
                base = 16, m_pos += 2;
            const std::size_t digits = m_pos;
            bool tooLarge = false;
            for (; m_pos < m_src.size(); ++m_pos) {
                const char d = m_src[m_pos];
                int v;
                if (d >= '0' && d <= '9')
                    v = d - '0';
                else if (base == 16 && d >= 'a' && d <= 'f')
                    v = d - 'a' + 10;
                else if (base == 16 && d >= 'A' && d <= 'F')
                    v = d - 'A' + 10;
                else
                    break;
                t.value = t.value * base + v;
                if (t.value > 2147483648LL) tooLarge = true, t.value = 2147483648LL;
            }
            if (m_pos == digits || (m_pos < m_src.size() && IsNameChar(m_src[m_pos]))) {
                while (m_pos < m_src.size() && IsNameChar(m_src[m_pos])) ++m_pos;
                Error(t, "malformed number '" + std::string(m_src.substr(start, m_pos - start)) + "'");
            }
            if (tooLarge) Error(t, "number is too large");
        } else {
            static constexpr std::string_view kTwo[] = {"==", "!=", "<=", ">=", "+=", "-="};
            t.kind = Tok::Punct;
            std::size_t len = 0;
            for (std::string_view two : kTwo)
                if (m_src.substr(m_pos, 2) == two) len = 2;
            if (!len) {
                if (std::string_view("{}();=<>+-*/%").find(c) == std::string_view::npos) {
                    if (c >= 0x21 && c <= 0x7E) Error(t, std::string("unexpected character '") + c + "'");
                    static const char* hex = "0123456789ABCDEF";
                    const auto b = std::uint8_t(c);
                    Error(t, std::string("unexpected byte 0x") + hex[b >> 4] + hex[b & 15]);
                }
                len = 1;
            }
            m_pos += len;
        }
        t.text = m_src.substr(start, m_pos - start);
        m_col += int(m_pos - start);
        return t;
    }

    bool Is(std::string_view text) const {
        return m_tok.kind != Tok::End && m_tok.kind != Tok::Number && m_tok.text == text;
    }

    bool Accept(std::string_view text) {
        if (!Is(text)) return false;
        Advance();
        return true;
    }

    void Expect(std::string_view text) {
        if (!Accept(text)) Error(m_tok, "expected '" + std::string(text) + "', found " + Show(m_tok));
    }

    std::int64_t ExpectNumber(std::int64_t min, std::int64_t max, const char* what) {
        if (m_tok.kind != Tok::Number)
            Error(m_tok, std::string("expected ") + what + ", found " + Show(m_tok));
        if (m_tok.value < min || m_tok.value > max)
            Error(m_tok,
                  std::string(what) + " must be " + std::to_string(min) + " to " + std::to_string(max));
        const std::int64_t v = m_tok.value;
        Advance();
        return v;
    }

    Token ExpectName(const char* what) {
        if (m_tok.kind != Tok::Name || IsReserved(m_tok.text))
            Error(m_tok, std::string("expected ") + what + ", found " + Show(m_tok));
        Token t = m_tok;
        Advance();
        return t;
    }

    void Enter() {
        if (++m_nesting > kMaxNesting) Error(m_tok, "nested too deeply");
    }
    void Leave() { --m_nesting; }

    // ---- emitter -------------------------------------------------------

    void Emit(Op op) {
        m_prog.code.push_back(op);
        const OpInfo* info = Describe(op);
        m_depth += info->pushes - info->pops;
        if (m_depth > kMaxStack) Error(m_tok, "expression is too complex");
    }
    void Emit(Op op, std::uint32_t operand) {
        Emit(op);
        for (int i = 0; i < Describe(op)->operandSize; ++i)
            m_prog.code.push_back(std::uint8_t(operand >> (8 * i)));
    }
    // A forward jump; returns the place of its target for Patch.
    std::size_t EmitJump(Op op) {
        Emit(op, 0);
        return m_prog.code.size() - 4;
    }
    void Patch(std::size_t at) { PatchTo(at, Here()); }
    void PatchTo(std::size_t at, std::uint32_t target) {
        for (int i = 0; i < 4; ++i) m_prog.code[at + i] = std::uint8_t(target >> (8 * i));
    }
    std::uint32_t Here() const { return std::uint32_t(m_prog.code.size()); }

    void EmitConstant(std::int64_t v) {
        if (v >= INT16_MIN && v <= INT16_MAX) return Emit(kPushS, std::uint32_t(v) & 0xFFFF);
        auto [it, added] = m_constants.emplace(std::int32_t(v), std::uint32_t(m_prog.constants.size()));
        if (added) {
            if (m_prog.constants.size() >= 0xFFFF) Error(m_tok, "too many constants");
            m_prog.constants.push_back(std::int32_t(v));
        }
        Emit(kPushK, it->second);
    }

    // The program's entry for a network variable of the type set, added on first use.
    std::uint16_t UseNetworkVariable(int device) {
        if (m_prog.networkVariables.size() >= 0xFFFF) Error(m_tok, "the program is too large");
        auto [it, added] = m_nvIndex.emplace(device, std::uint16_t(m_prog.networkVariables.size()));
        if (added) {
            const DeviceVariable& dv = m_types.networkVariables[device];
            const Type& t = m_types.types[dv.type];
            NetworkVariable nv{dv.name, dv.direction, t.min, t.max};
            if (t.kind == Type::Kind::Enum) {
                nv.min = INT32_MAX, nv.max = INT32_MIN;
                for (const auto& [name, v] : t.values)
                    nv.min = std::min(nv.min, v), nv.max = std::max(nv.max, v);
            }
            m_prog.networkVariables.push_back(nv);
        }
        return it->second;
    }

    // ---- names ---------------------------------------------------------

    int FindDeviceVariable(std::string_view name) const {
        for (std::size_t i = 0; i < m_types.networkVariables.size(); ++i)
            if (m_types.networkVariables[i].name == name) return int(i);
        return -1;
    }

    std::string TypeName(int type) const { return type == 0 ? "int" : "'" + m_types.types[type].name + "'"; }

    // The type a network variable's value has in expressions: ranges read as int.
    int ValueType(int device) const {
        const int t = m_types.networkVariables[device].type;
        return m_types.types[t].kind == Type::Kind::Enum ? t : 0;
    }

    // ---- parser --------------------------------------------------------

    // program = { declaration } ;
    void ParseProgram() {
        while (m_tok.kind != Tok::End) ParseDeclaration();
        if (m_prog.handlers.size() > 0xFFFF || m_prog.variables.size() > 0xFFFF)
            Error(m_tok, "the program is too large");
    }

    // declaration = variable | handler ;
    void ParseDeclaration() {
        if (Accept("var")) return ParseVariable();
        if (Is("when")) return ParseHandler();
        Error(m_tok, "expected 'var' or 'when', found " + Show(m_tok));
    }

    // variable = "var" NAME [ "=" [ "-" ] NUMBER ] ";" ;
    void ParseVariable() {
        if (m_tok.kind == Tok::Name && IsReserved(m_tok.text))
            Error(m_tok, "'" + std::string(m_tok.text) + "' is a reserved word");
        const Token name = ExpectName("a variable name");
        if (name.text.size() > kMaxNameLength) Error(name, "name is longer than 63 characters");
        if (auto it = m_vars.find(name.text); it != m_vars.end())
            Error(name, "'" + std::string(name.text) + "' is already declared at line " +
                            std::to_string(it->second.line));
        if (FindDeviceVariable(name.text) >= 0)
            Error(name, "'" + std::string(name.text) + "' is a network variable");
        if (auto e = m_types.enumValues.find(name.text); e != m_types.enumValues.end())
            Error(name, "'" + std::string(name.text) + "' is a value of type '" +
                            m_types.types[e->second.first].name + "'");
        Variable v{std::string(name.text), 0};
        if (Accept("=")) {
            const bool negative = Accept("-");
            const std::int64_t n = ExpectNumber(0, negative ? 2147483648LL : INT32_MAX, "an integer");
            v.initial = std::int32_t(negative ? -n : n);
        }
        Expect(";");
        m_vars.emplace(std::string(name.text), VarInfo{std::uint16_t(m_prog.variables.size()), name.line});
        m_prog.variables.push_back(std::move(v));
    }

    // event = "start" | "pin" | "commission" | "event" NUMBER | "timer" NUMBER | "update" NAME ;
    // handler = "when" event block ;
    void ParseHandler() {
        const Token when = m_tok;
        Advance();
        Handler h;
        std::string what = std::string(m_tok.text);
        if (Accept("start"))
            h.kind = EventKind::Start;
        else if (Accept("pin"))
            h.kind = EventKind::Pin;
        else if (Accept("commission"))
            h.kind = EventKind::Commission;
        else if (Accept("event")) {
            h.kind = EventKind::Event;
            h.code = std::uint16_t(ExpectNumber(0, 0xFFFF, "an event code"));
            what += " " + std::to_string(h.code);
        } else if (Accept("timer")) {
            h.kind = EventKind::Timer;
            h.code = std::uint16_t(ExpectNumber(0, kTimerCount - 1, "a timer number"));
            what += " " + std::to_string(h.code);
        } else if (Accept("update")) {
            h.kind = EventKind::Update;
            const Token name = m_tok;
            if (name.kind != Tok::Name) Error(name, "expected a network variable, found " + Show(name));
            const int dv = FindDeviceVariable(name.text);
            if (dv < 0) Error(name, "'" + std::string(name.text) + "' is not a network variable");
            if (m_types.networkVariables[dv].direction != Direction::In)
                Error(name, "'" + std::string(name.text) +
                                "' is an output; only inputs are updated by the network");
            Advance();
            h.code = UseNetworkVariable(dv);
            what += " " + std::string(name.text);
        } else {
            Error(m_tok,
                  "expected an event (start, pin, commission, event, timer, update), found " + Show(m_tok));
        }
        if (auto it = m_handlerLines.find({int(h.kind), h.code}); it != m_handlerLines.end())
            Error(when, "'when " + what + "' is already handled at line " + std::to_string(it->second));
        m_handlerLines.emplace(std::make_pair(int(h.kind), h.code), when.line);
        h.entry = Here();
        m_prog.handlers.push_back(h);
        ParseBlock();
        Emit(kRet);
    }

    // block = "{" { statement } "}" ;
    void ParseBlock() {
        Enter();
        Expect("{");
        while (!Is("}")) {
            if (m_tok.kind == Tok::End) Error(m_tok, "expected '}', found end of file");
            ParseStatement();
        }
        Advance();
        Leave();
    }

    // statement = assignment | if | while | send | timer | "return" ";" ;
    void ParseStatement() {
        if (Is("if")) return ParseIf();
        if (Is("while")) return ParseWhile();
        if (Accept("send")) return ParseSend();
        if (Is("start") || Is("stop")) return ParseTimer();
        if (Accept("return")) {
            Emit(kRet);
            return Expect(";");
        }
        if (Is("var")) Error(m_tok, "variables are declared outside handlers");
        if (m_tok.kind == Tok::Name && !IsReserved(m_tok.text)) return ParseAssignment();
        Error(m_tok, "expected a statement, found " + Show(m_tok));
    }

    // assignment = NAME ( "=" | "+=" | "-=" ) expression ";" ;
    void ParseAssignment() {
        const Token name = m_tok;
        Advance();
        const Token op = m_tok;
        if (!Is("=") && !Is("+=") && !Is("-=")) Error(op, "expected '=', '+=' or '-=', found " + Show(op));
        Advance();
        Op store;
        std::uint16_t index;
        int type = 0;  // the type the value must have
        const Type* range = nullptr;
        if (auto it = m_vars.find(name.text); it != m_vars.end()) {
            store = kStoreV, index = it->second.index;
        } else if (const int dv = FindDeviceVariable(name.text); dv >= 0) {
            if (m_types.networkVariables[dv].direction != Direction::Out)
                Error(name, "'" + std::string(name.text) + "' is an input and cannot be written");
            store = kStoreN, index = UseNetworkVariable(dv), type = ValueType(dv);
            if (type == 0) range = &m_types.types[m_types.networkVariables[dv].type];
        } else if (m_types.enumValues.count(name.text)) {
            Error(name, "'" + std::string(name.text) + "' is a constant and cannot be written");
        } else {
            Error(name, "unknown name " + Show(name));
        }
        if (op.text != "=") {
            if (type != 0) Error(op, "'" + std::string(op.text) + "' needs an int, not " + TypeName(type));
            Emit(store == kStoreV ? kLoadV : kLoadN, index);
        }
        const Token at = m_tok;
        const Value v = ParseExpression();
        if (op.text != "=") Emit(op.text == "+=" ? kAdd : kSub);
        if (v.type != type)
            Error(at, "cannot assign " + TypeName(v.type) + " to '" + std::string(name.text) + "' of type " +
                          (range ? "'" + range->name + "'" : TypeName(type)));
        if (range && v.constant && op.text == "=" && (v.value < range->min || v.value > range->max))
            Error(at, std::to_string(v.value) + " is outside the range " + std::to_string(range->min) +
                          " to " + std::to_string(range->max) + " of type '" + range->name + "'");
        Emit(store, index);
        Expect(";");
    }

    // if = "if" expression block [ "else" ( if | block ) ] ;
    void ParseIf() {
        Enter();
        Advance();
        Condition();
        const std::size_t skip = EmitJump(kJz);
        ParseBlock();
        if (Accept("else")) {
            const std::size_t end = EmitJump(kJmp);
            Patch(skip);
            if (Is("if"))
                ParseIf();
            else
                ParseBlock();
            Patch(end);
        } else {
            Patch(skip);
        }
        Leave();
    }

    // while = "while" expression block ;
    void ParseWhile() {
        Advance();
        const std::uint32_t top = Here();
        Condition();
        const std::size_t exit = EmitJump(kJz);
        ParseBlock();
        Emit(kJmp, top);
        Patch(exit);
    }

    void Condition() {
        const Token at = m_tok;
        const Value v = ParseExpression();
        if (v.type != 0) Error(at, "a condition must be an int, not " + TypeName(v.type));
    }

    // send = "send" "event" expression ";" ;
    void ParseSend() {
        Expect("event");
        const Token at = m_tok;
        const Value v = ParseExpression();
        if (v.type != 0) Error(at, "an event code must be an int, not " + TypeName(v.type));
        if (v.constant && (v.value < 0 || v.value > 0xFFFF)) Error(at, "an event code must be 0 to 65535");
        Emit(kSend);
        Expect(";");
    }

    // timer = "start" "timer" NUMBER "after" expression ";"
    //       | "stop" "timer" NUMBER ";" ;
    void ParseTimer() {
        const bool start = Is("start");
        Advance();
        Expect("timer");
        const auto timer = std::uint32_t(ExpectNumber(0, kTimerCount - 1, "a timer number"));
        if (start) {
            Expect("after");
            const Token at = m_tok;
            const Value v = ParseExpression();
            if (v.type != 0) Error(at, "a time must be an int, not " + TypeName(v.type));
            Emit(kTimerStart, timer);
        } else {
            Emit(kTimerStop, timer);
        }
        Expect(";");
    }

    // expression = and { "or" and } ;
    Value ParseExpression() {
        Value left = ParseAnd();
        if (!Is("or")) return left;
        std::vector<std::size_t> toTrue;
        Token op;
        while (Is("or")) {
            op = m_tok;
            Advance();
            RequireInt(op, left);
            toTrue.push_back(EmitJump(kJnz));
            left = ParseAnd();
        }
        RequireInt(op, left);
        Boolean(EmitJump(kJnz), toTrue, 1);
        return Value{};
    }

    // and = comparison { "and" comparison } ;
    Value ParseAnd() {
        Value left = ParseComparison();
        if (!Is("and")) return left;
        std::vector<std::size_t> toFalse;
        Token op;
        while (Is("and")) {
            op = m_tok;
            Advance();
            RequireInt(op, left);
            toFalse.push_back(EmitJump(kJz));
            left = ParseComparison();
        }
        RequireInt(op, left);
        Boolean(EmitJump(kJz), toFalse, 0);
        return Value{};
    }

    // The tail of "and" and "or": jumps taken give `taken`, falling through gives the other.
    void Boolean(std::size_t last, std::vector<std::size_t>& jumps, int taken) {
        jumps.push_back(last);
        EmitConstant(1 - taken);
        const std::size_t end = EmitJump(kJmp);
        for (std::size_t j : jumps) Patch(j);
        --m_depth;  // the other path arrives here without the constant
        EmitConstant(taken);
        Patch(end);
    }

    void RequireInt(const Token& op, const Value& v) {
        if (v.type != 0) Error(op, "'" + std::string(op.text) + "' needs an int, not " + TypeName(v.type));
    }

    // comparison = sum [ ( "==" | "!=" | "<" | "<=" | ">" | ">=" ) sum ] ;
    Value ParseComparison() {
        const Value left = ParseSum();
        static const std::pair<std::string_view, Op> kOps[] = {{"==", kEq}, {"!=", kNe}, {"<", kLt},
                                                               {"<=", kLe}, {">", kGt},  {">=", kGe}};
        for (auto [text, op] : kOps) {
            if (!Is(text)) continue;
            const Token at = m_tok;
            Advance();
            const Value right = ParseSum();
            if (op == kEq || op == kNe) {
                if (left.type != right.type)
                    Error(at, "cannot compare " + TypeName(left.type) + " with " + TypeName(right.type));
            } else {
                RequireInt(at, left);
                RequireInt(at, right);
            }
            Emit(op);
            return Value{};
        }
        return left;
    }

    // sum = term { ( "+" | "-" ) term } ;
    Value ParseSum() {
        Value left = ParseTerm();
        while (Is("+") || Is("-")) {
            const Token at = m_tok;
            Advance();
            const Value right = ParseTerm();
            RequireInt(at, left);
            RequireInt(at, right);
            Emit(at.text == "+" ? kAdd : kSub);
            left = Value{};
        }
        return left;
    }

    // term = unary { ( "*" | "/" | "%" ) unary } ;
    Value ParseTerm() {
        Value left = ParseUnary();
        while (Is("*") || Is("/") || Is("%")) {
            const Token at = m_tok;
            Advance();
            const Value right = ParseUnary();
            RequireInt(at, left);
            RequireInt(at, right);
            if (at.text != "*" && right.constant && right.value == 0) Error(at, "division by zero");
            Emit(at.text == "*" ? kMul : at.text == "/" ? kDiv : kMod);
            left = Value{};
        }
        return left;
    }

    // unary = ( "-" | "not" ) unary | primary ;
    Value ParseUnary() {
        if (Is("-") || Is("not")) {
            const Token op = m_tok;
            Advance();
            if (op.text == "-" && m_tok.kind == Tok::Number) {
                // A negative literal, so that -2147483648 can be written.
                const std::int64_t v = -m_tok.value;
                Advance();
                EmitConstant(v);
                return Value{0, true, v};
            }
            Enter();
            const Value v = ParseUnary();
            Leave();
            RequireInt(op, v);
            Emit(op.text == "-" ? kNeg : kNot);
            return Value{};
        }
        return ParsePrimary();
    }

    // primary = NUMBER | NAME | "(" expression ")" ;
    Value ParsePrimary() {
        const Token t = m_tok;
        if (t.kind == Tok::Number) {
            if (t.value > INT32_MAX) Error(t, "number is too large");
            Advance();
            EmitConstant(t.value);
            return Value{0, true, t.value};
        }
        if (Accept("(")) {
            Enter();
            const Value v = ParseExpression();
            Expect(")");
            Leave();
            return v;
        }
        if (t.kind != Tok::Name || IsReserved(t.text)) Error(t, "expected an expression, found " + Show(t));
        Advance();
        if (auto it = m_vars.find(t.text); it != m_vars.end()) {
            Emit(kLoadV, it->second.index);
            return Value{};
        }
        if (const int dv = FindDeviceVariable(t.text); dv >= 0) {
            Emit(kLoadN, UseNetworkVariable(dv));
            return Value{ValueType(dv), false, 0};
        }
        if (auto e = m_types.enumValues.find(t.text); e != m_types.enumValues.end()) {
            EmitConstant(e->second.second);
            return Value{e->second.first, true, e->second.second};
        }
        Error(t, "unknown name " + Show(t));
    }

    struct VarInfo {
        std::uint16_t index;
        int line;
    };

    std::string_view m_src;
    std::string m_file;
    const TypeSet& m_types;
    std::size_t m_pos = 0;
    int m_line = 1, m_col = 1;
    Token m_tok;
    int m_nesting = 0;
    int m_depth = 0;
    Program m_prog;
    Diagnostic m_error;
    std::map<std::string, VarInfo, std::less<>> m_vars;
    std::map<int, std::uint16_t> m_nvIndex;
    std::map<std::int32_t, std::uint32_t> m_constants;
    std::map<std::pair<int, int>, int> m_handlerLines;
};

}  // namespace

CompileResult Compile(std::string_view source, const std::string& file, const TypeSet& types) {
    return Compiler(source, file, types).Run();
}

}  // namespace qpicg
