#include "qpicg/vm.h"

#include <algorithm>
#include <climits>

namespace qpvm {

using namespace qpx;

namespace {

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) {
    return std::min(std::max(v, lo), hi);
}

// Two's complement wrap-around without signed overflow.
std::int32_t Wrap(std::int64_t v) {
    return std::int32_t(std::uint32_t(std::uint64_t(v)));
}

std::uint16_t Le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

}  // namespace

Machine::Machine(Program program, Limits limits) : m_program(std::move(program)), m_limits(limits) {
    for (std::size_t i = 0; i < m_program.handlers.size(); ++i) {
        const auto& h = m_program.handlers[i];
        m_handlerIndex.emplace(std::uint32_t(h.kind) << 16 | h.code, i);
    }
    for (const auto& v : m_program.variables) m_vars.push_back(v.initial);
    for (const auto& nv : m_program.networkVariables) m_nvs.push_back(Clamp(0, nv.min, nv.max));
    std::fill(std::begin(m_timerDue), std::end(m_timerDue), -1);
}

std::optional<std::uint64_t> Machine::TimerDue(int timer) const {
    if (timer < 0 || timer >= kTimerCount || m_timerDue[timer] < 0) return std::nullopt;
    return std::uint64_t(m_timerDue[timer]);
}

bool Machine::Handle(Event event) {
    m_lastEvent = event;
    const auto it = m_handlerIndex.find(std::uint32_t(event.kind) << 16 | event.code);
    m_lastHandled = it != m_handlerIndex.end();
    if (!m_lastHandled) return false;
    ++m_eventsHandled;
    Run(m_program.handlers[it->second]);
    return true;
}

bool Machine::WriteInput(std::string_view name, std::int32_t value) {
    const int i = m_program.FindNetworkVariable(name);
    if (i < 0 || m_program.networkVariables[i].direction != Direction::In) return false;
    const auto& nv = m_program.networkVariables[i];
    m_nvs[i] = Clamp(value, nv.min, nv.max);
    Handle({EventKind::Update, std::uint16_t(i)});
    return true;
}

void Machine::Advance(std::uint64_t ms) {
    const std::uint64_t target = m_now + ms;
    for (std::uint32_t fired = 0; fired < m_limits.timerEventsPerAdvance; ++fired) {
        int next = -1;
        for (int t = 0; t < kTimerCount; ++t)
            if (m_timerDue[t] >= 0 && std::uint64_t(m_timerDue[t]) <= target &&
                (next < 0 || m_timerDue[t] < m_timerDue[next]))
                next = t;
        if (next < 0) break;
        m_now = std::max<std::uint64_t>(m_now, std::uint64_t(m_timerDue[next]));
        m_timerDue[next] = -1;
        Handle({EventKind::Timer, std::uint16_t(next)});
    }
    m_now = target;
}

void Machine::Fault(std::string what, std::uint32_t pc) {
    ++m_faults;
    m_lastFault = what + " at code offset " + std::to_string(pc);
}

void Machine::Emit(Output::Kind kind, std::uint16_t index, std::int32_t value) {
    ++m_outputsSent;
    m_outputs.push_back({kind, index, value, m_now});
    while (m_outputs.size() > m_limits.outputsKept) m_outputs.pop_front();
}

// Load has checked every index, jump and stack depth, so the loop below only
// watches the step budget and the arithmetic faults.
void Machine::Run(const Handler& handler) {
    const std::uint8_t* code = m_program.code.data();
    std::int32_t stack[kMaxStack];
    int sp = 0;
    std::uint32_t pc = handler.entry;
    for (std::uint32_t steps = 0;; ++steps) {
        if (steps >= m_limits.stepsPerEvent) {
            Fault("step limit of " + std::to_string(m_limits.stepsPerEvent) + " reached", pc);
            return;
        }
        const std::uint8_t op = code[pc];
        const std::uint8_t* a = code + pc + 1;
        std::uint32_t next = pc + 1 + std::uint32_t(Describe(op)->operandSize);
        switch (op) {
            case kRet:
                return;
            case kPushS:
                stack[sp++] = std::int16_t(Le16(a));
                break;
            case kPushK:
                stack[sp++] = m_program.constants[Le16(a)];
                break;
            case kLoadV:
                stack[sp++] = m_vars[Le16(a)];
                break;
            case kStoreV:
                m_vars[Le16(a)] = stack[--sp];
                break;
            case kLoadN:
                stack[sp++] = m_nvs[Le16(a)];
                break;
            case kStoreN: {
                const std::uint16_t i = Le16(a);
                const auto& nv = m_program.networkVariables[i];
                m_nvs[i] = Clamp(stack[--sp], nv.min, nv.max);
                Emit(Output::Kind::NetworkVariable, i, m_nvs[i]);
                break;
            }
            case kNeg:
                stack[sp - 1] = Wrap(-std::int64_t(stack[sp - 1]));
                break;
            case kNot:
                stack[sp - 1] = stack[sp - 1] == 0;
                break;
            case kJmp:
                next = Le32(a);
                break;
            case kJz:
                if (stack[--sp] == 0) next = Le32(a);
                break;
            case kJnz:
                if (stack[--sp] != 0) next = Le32(a);
                break;
            case kSend: {
                const std::int32_t c = stack[--sp];
                if (c < 0 || c > 0xFFFF) {
                    Fault("event code " + std::to_string(c) + " out of range", pc);
                    return;
                }
                Emit(Output::Kind::Event, std::uint16_t(c), c);
                break;
            }
            case kTimerStart: {
                // At least one millisecond, so a timer that restarts itself
                // cannot run twice at the same instant.
                const std::int64_t delay = std::max<std::int32_t>(1, stack[--sp]);
                m_timerDue[a[0]] = std::int64_t(m_now) + delay;
                break;
            }
            case kTimerStop:
                m_timerDue[a[0]] = -1;
                break;
            default: {
                const std::int64_t r = stack[--sp], l = stack[sp - 1];
                std::int64_t v = 0;
                switch (op) {
                    case kAdd:
                        v = l + r;
                        break;
                    case kSub:
                        v = l - r;
                        break;
                    case kMul:
                        v = l * r;
                        break;
                    case kDiv:
                    case kMod:
                        if (r == 0) {
                            Fault("division by zero", pc);
                            return;
                        }
                        v = op == kDiv ? l / r : l % r;
                        break;
                    case kEq:
                        v = l == r;
                        break;
                    case kNe:
                        v = l != r;
                        break;
                    case kLt:
                        v = l < r;
                        break;
                    case kLe:
                        v = l <= r;
                        break;
                    case kGt:
                        v = l > r;
                        break;
                    case kGe:
                        v = l >= r;
                        break;
                }
                stack[sp - 1] = Wrap(v);
            }
        }
        pc = next;
    }
}

std::string Machine::StateJson() const {
    // Names are identifiers (Load checks them), so they need no escaping.
    std::string s = "{\"variables\":{";
    for (std::size_t i = 0; i < m_vars.size(); ++i)
        s += (i ? ",\"" : "\"") + m_program.variables[i].name + "\":" + std::to_string(m_vars[i]);
    s += "},\"networkVariables\":{";
    for (std::size_t i = 0; i < m_nvs.size(); ++i)
        s += (i ? ",\"" : "\"") + m_program.networkVariables[i].name + "\":" + std::to_string(m_nvs[i]);
    s += "},\"lastEvent\":";
    if (m_lastEvent) {
        s += std::string("{\"kind\":\"") + EventKindName(m_lastEvent->kind) +
             "\",\"code\":" + std::to_string(m_lastEvent->code) +
             ",\"handled\":" + (m_lastHandled ? "true" : "false") + "}";
    } else {
        s += "null";
    }
    s += ",\"eventsHandled\":" + std::to_string(m_eventsHandled) +
         ",\"outputsSent\":" + std::to_string(m_outputsSent) + ",\"recentOutputs\":[";
    for (std::size_t i = 0; i < m_outputs.size(); ++i) {
        const Output& o = m_outputs[i];
        if (i) s += ",";
        if (o.kind == Output::Kind::Event)
            s += "{\"event\":" + std::to_string(o.index);
        else
            s += "{\"networkVariable\":\"" + m_program.networkVariables[o.index].name +
                 "\",\"value\":" + std::to_string(o.value);
        s += ",\"time\":" + std::to_string(o.time) + "}";
    }
    s += "],\"faults\":" + std::to_string(m_faults) + ",\"lastFault\":\"" + m_lastFault + "\"}";
    return s;
}

}  // namespace qpvm
