// Words and names shared by the language and the type files.
#pragma once

#include <string_view>

namespace qpicg {

inline bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
inline bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

// A name as the compiled form can carry it: a letter or '_', then letters,
// digits or '_', at most 63 bytes.
bool IsName(std::string_view s);
bool IsReserved(std::string_view s);

}  // namespace qpicg
