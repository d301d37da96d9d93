// The VQ program compiler and interpreter: compiling a 5,000-line program
// (target: under 100 ms) and the events one unit's interpreter handles per
// second (target: 100,000).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "qpicg/compiler.h"
#include "qpicg/vm.h"

namespace {

const char* kTypes = R"(qpl-types 1
type count range 0 65535
type obj_request enum rq_normal=0 rq_disabled=1 rq_reset=8
type alarm enum alarm_none=0 alarm_low=1 alarm_high=2
nv inRequest obj_request in
nv outLoadState count out
nv outAlarm alarm out
)";

const qpicg::TypeSet& Types() {
    static const qpicg::TypeSet types = [] {
        qpicg::TypeSet t;
        qpicg::Diagnostic d;
        if (!qpicg::ParseTypes(kTypes, "bench.qpt", &t, &d)) std::abort();
        return t;
    }();
    return types;
}

// A program of about `lines` lines: variables, then handlers of 20 lines each
// with counting, branches, a loop, timers and sends.
std::string Program(int lines) {
    std::string s = "# generated\n";
    for (int v = 0; v < 100; ++v) s += "var v" + std::to_string(v) + " = " + std::to_string(v * 7) + ";\n";
    int line = 101;
    for (int h = 0; line < lines; ++h) {
        const std::string a = "v" + std::to_string(h % 100), b = "v" + std::to_string((h * 7 + 3) % 100);
        s += "when event " + std::to_string(h) + " {\n";
        s += "    " + a + " += 1;\n";
        s += "    outLoadState = " + a + " % 65536;\n";
        s += "    if " + a + " > 10 and inRequest == rq_normal {\n";
        s += "        outAlarm = alarm_high;\n";
        s += "        send event " + std::to_string(h % 1000) + ";\n";
        s += "    } else if " + a + " == 5 or " + b + " < 0 {\n";
        s += "        outAlarm = alarm_low;\n";
        s += "    } else {\n";
        s += "        outAlarm = alarm_none;\n";
        s += "    }\n";
        s += "    " + b + " = (" + a + " * 3 + 100000) / 7 - -2;\n";
        s += "    while " + b + " > 1000 {\n";
        s += "        " + b + " -= 1000;\n";
        s += "    }\n";
        s += "    start timer " + std::to_string(h % 16) + " after " + b + ";\n";
        s += "    if not " + a + " { stop timer 1; }\n";
        s += "    # a comment line\n";
        s += "\n";
        s += "}\n";
        line += 20;
    }
    return s;
}

void BM_Compile5000Lines(benchmark::State& state) {
    const std::string source = Program(5000);
    std::size_t codeSize = 0;
    for (auto _ : state) {
        const auto r = qpicg::Compile(source, "bench.qpl", Types());
        if (!r.ok) {
            state.SkipWithError(r.error.Text().c_str());
            return;
        }
        codeSize = r.program.code.size();
        benchmark::DoNotOptimize(codeSize);
    }
    state.counters["source_bytes"] = double(source.size());
    state.counters["code_bytes"] = double(codeSize);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(source.size()));
}
BENCHMARK(BM_Compile5000Lines)->Unit(benchmark::kMillisecond);

void BM_LoadAndCheck5000Lines(benchmark::State& state) {
    const auto r = qpicg::Compile(Program(5000), "bench.qpl", Types());
    if (!r.ok) std::abort();
    const auto bytes = qpx::Encode(r.program);
    for (auto _ : state) {
        qpx::Program p;
        std::string error;
        if (!qpx::Load(bytes.data(), bytes.size(), &p, &error)) std::abort();
        benchmark::DoNotOptimize(p);
    }
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_LoadAndCheck5000Lines)->Unit(benchmark::kMillisecond);

// One unit handling a stream of events: the generated program's handlers
// (about 40 to 100 instructions each, loop included), and events with no
// handler mixed in.
void BM_UnitEvents(benchmark::State& state) {
    const auto r = qpicg::Compile(Program(5000), "bench.qpl", Types());
    if (!r.ok) std::abort();
    qpvm::Machine m(r.program);
    const auto handlers = std::uint16_t(r.program.handlers.size());
    std::uint16_t code = 0;
    for (auto _ : state) {
        m.Handle({qpx::EventKind::Event, code});
        code = std::uint16_t((code + 1) % (handlers + handlers / 4));
    }
    if (m.faults()) state.SkipWithError(m.lastFault().c_str());
    state.SetItemsProcessed(state.iterations());
    state.counters["events_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UnitEvents);

}  // namespace

BENCHMARK_MAIN();
