// Runs the compiler over arbitrary source text. Whatever compiles must load
// (the loader checks what the compiler promises) and run without a fault of
// the machine itself.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz_main.h"
#include "fuzz_types.h"
#include "qpicg/compiler.h"
#include "qpicg/vm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qpicg::TypeSet types = [] {
        qpicg::TypeSet t;
        qpicg::Diagnostic d;
        if (!qpicg::ParseTypes(kFuzzTypes, "fuzz.qpt", &t, &d)) std::abort();
        return t;
    }();
    const auto r =
        qpicg::Compile(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.qpl", types);
    if (!r.ok) return 0;
    const auto bytes = qpx::Encode(r.program);
    qpx::Program loaded;
    std::string error;
    if (!qpx::Load(bytes.data(), bytes.size(), &loaded, &error)) {
        std::fprintf(stderr, "compiled program refused: %s\n", error.c_str());
        std::abort();
    }
    qpvm::Limits limits;
    limits.stepsPerEvent = 2000;
    qpvm::Machine m(std::move(loaded), limits);
    for (const auto& h : m.program().handlers) m.Handle({h.kind, h.code});
    m.WriteInput("inRequest", 2);
    m.Advance(100000);
    return 0;
}
