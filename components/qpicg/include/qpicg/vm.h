// The interpreter a VQ runs its program with. One Machine per unit; it owns
// the program's variables, network variables and timers, and runs one
// handler per event with a bounded number of steps, so a program can never
// hang the unit that runs it.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>

#include "qpicg/qpx.h"

namespace qpvm {

struct Limits {
    std::uint32_t stepsPerEvent = 10000;         // instructions one handler may run
    std::uint32_t timerEventsPerAdvance = 1024;  // timer handlers one Advance may run
    std::size_t outputsKept = 64;                // recent outputs kept for status
};

struct Event {
    qpx::EventKind kind = qpx::EventKind::Start;
    std::uint16_t code = 0;
};

// What a program sent out: a network variable update or an event code.
struct Output {
    enum class Kind { NetworkVariable, Event } kind = Kind::Event;
    std::uint16_t index = 0;  // network variable index, or the event code
    std::int32_t value = 0;   // the value written (for events, the code)
    std::uint64_t time = 0;   // the machine's clock, in milliseconds
};

class Machine {
public:
    explicit Machine(qpx::Program program, Limits limits = {});

    const qpx::Program& program() const { return m_program; }

    // Runs the handler of one event, if the program has one; returns whether
    // a handler ran. An update event is delivered by WriteInput.
    bool Handle(Event event);
    // Writes an input network variable from the network (clamped to its
    // range) and runs its update handler. False for a name that is not an
    // input of the program.
    bool WriteInput(std::string_view name, std::int32_t value);
    // Moves the clock on and runs the handlers of the timers that fall due,
    // in order of their due time.
    void Advance(std::uint64_t milliseconds);

    // State for status reports.
    std::uint64_t now() const { return m_now; }
    std::int32_t Variable(std::size_t index) const { return m_vars[index]; }
    std::int32_t NetworkVariable(std::size_t index) const { return m_nvs[index]; }
    const std::optional<Event>& lastEvent() const { return m_lastEvent; }
    bool lastEventHandled() const { return m_lastHandled; }
    std::uint64_t eventsHandled() const { return m_eventsHandled; }
    std::uint64_t outputsSent() const { return m_outputsSent; }
    const std::deque<Output>& recentOutputs() const { return m_outputs; }
    std::uint64_t faults() const { return m_faults; }
    const std::string& lastFault() const { return m_lastFault; }
    // Due time of a running timer, or nullopt.
    std::optional<std::uint64_t> TimerDue(int timer) const;

    // The state as one JSON object (names, values, last event, outputs,
    // faults), for status reports.
    std::string StateJson() const;

private:
    void Run(const qpx::Handler& handler);
    void Fault(std::string what, std::uint32_t pc);
    void Emit(Output::Kind kind, std::uint16_t index, std::int32_t value);

    qpx::Program m_program;
    Limits m_limits;
    std::unordered_map<std::uint32_t, std::size_t> m_handlerIndex;  // kind << 16 | code -> handler
    std::vector<std::int32_t> m_vars, m_nvs;
    std::int64_t m_timerDue[qpx::kTimerCount];
    std::uint64_t m_now = 0;
    std::optional<Event> m_lastEvent;
    bool m_lastHandled = false;
    std::uint64_t m_eventsHandled = 0, m_outputsSent = 0, m_faults = 0;
    std::deque<Output> m_outputs;
    std::string m_lastFault;
};

}  // namespace qpvm
