// The types the compiler tests compile against, and small helpers.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "qpicg/compiler.h"
#include "qpicg/vm.h"

namespace qpltest {

inline constexpr const char* kTypes = R"(qpl-types 1
type count range 0 65535
type percent range 0 100
type obj_request enum rq_normal=0 rq_disabled=1 rq_reset=8
type alarm enum alarm_none=0 alarm_low=1 alarm_high=2
nv inRequest obj_request in
nv inLevel percent in
nv outLoadState count out
nv outAlarm alarm out
nv outRaw int out
)";

inline const qpicg::TypeSet& Types() {
    static const qpicg::TypeSet types = [] {
        qpicg::TypeSet t;
        qpicg::Diagnostic d;
        EXPECT_TRUE(qpicg::ParseTypes(kTypes, "test.qpt", &t, &d)) << d.Text();
        return t;
    }();
    return types;
}

// Compiles and loads back through the loader, as a unit would receive it.
inline qpx::Program Build(const std::string& source) {
    const auto r = qpicg::Compile(source, "t.qpl", Types());
    EXPECT_TRUE(r.ok) << r.error.Text();
    const auto bytes = qpx::Encode(r.program);
    qpx::Program p;
    std::string error;
    EXPECT_TRUE(qpx::Load(bytes.data(), bytes.size(), &p, &error)) << error;
    return p;
}

// "LINE:COLUMN: MESSAGE" of a source that must not compile.
inline std::string ErrorOf(const std::string& source) {
    const auto r = qpicg::Compile(source, "t.qpl", Types());
    if (r.ok) return "compiled";
    EXPECT_EQ(r.error.file, "t.qpl");
    return std::to_string(r.error.line) + ":" + std::to_string(r.error.column) + ": " + r.error.message;
}

}  // namespace qpltest
