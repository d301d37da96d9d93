// The .qpl compiler: type files in, source in, a checked program or one
// diagnostic out. docs/qpl.md is the language, docs/qpx-format.md the output.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "qpicg/qpx.h"

namespace qpicg {

// A diagnostic: where it is and what is wrong. Printed as
// "FILE:LINE:COLUMN: MESSAGE"; lines and columns count from 1, columns in bytes.
struct Diagnostic {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;

    std::string Text() const;
};

// The types a program can use, and the unit's network variables, read from
// the type files (*.qpt) of a folder.
struct Type {
    enum class Kind { Range, Enum } kind = Kind::Range;
    std::string name;
    std::int32_t min = INT32_MIN, max = INT32_MAX;             // Range
    std::vector<std::pair<std::string, std::int32_t>> values;  // Enum, in file order
};

struct DeviceVariable {
    std::string name;
    int type = 0;  // index into TypeSet::types
    qpx::Direction direction = qpx::Direction::In;
};

struct TypeSet {
    std::vector<Type> types;                       // types[0] is the built-in int
    std::vector<DeviceVariable> networkVariables;  // in file order
    std::map<std::string, std::pair<int, std::int32_t>, std::less<>> enumValues;  // name -> (type, value)

    TypeSet();
    int FindType(std::string_view name) const;  // -1 when absent
};

// Reads one type file's text into *types; false with *error on the first fault.
bool ParseTypes(std::string_view text, const std::string& file, TypeSet* types, Diagnostic* error);
// Reads every *.qpt file of a folder in name order.
bool LoadTypeFolder(const std::string& folder, TypeSet* types, Diagnostic* error);

struct CompileResult {
    bool ok = false;
    qpx::Program program;  // when ok
    Diagnostic error;      // when not
};

// One pass over the source; stops at the first error.
CompileResult Compile(std::string_view source, const std::string& file, const TypeSet& types);

}  // namespace qpicg
