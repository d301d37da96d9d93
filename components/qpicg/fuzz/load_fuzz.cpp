// Runs the program loader over arbitrary bytes; whatever it accepts is
// disassembled and run against every event it handles and a stretch of time.
#include "fuzz_main.h"
#include "qpicg/vm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qpx::Program program;
    std::string error;
    if (!qpx::Load(data, size, &program, &error)) return 0;
    (void)qpx::Disassemble(program);
    qpvm::Limits limits;
    limits.stepsPerEvent = 2000;
    limits.timerEventsPerAdvance = 64;
    qpvm::Machine m(std::move(program), limits);
    for (const auto& h : m.program().handlers) m.Handle({h.kind, h.code});
    for (const auto& nv : m.program().networkVariables) m.WriteInput(nv.name, 1);
    m.Advance(1000);
    (void)m.StateJson();
    return 0;
}
