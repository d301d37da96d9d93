// External interface files: the .xif text and its .xfb companion.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store.h"

namespace ovx::detail {

struct XifInterface {
    std::string programId;
    std::vector<TemplateNv> nvs;
    std::vector<TemplateCp> cps;
};

// Parses .xif text; throws kErrXifUnreadable naming source and line.
XifInterface ParseXif(const std::string& text, const std::string& source);
// The .xfb bytes that belong to this .xif text.
std::vector<std::uint8_t> MakeXfb(const std::string& xifText, const XifInterface& parsed);
// Reads path and its .xfb beside it; throws kErrXifUnreadable / kErrXfbMismatch.
XifInterface ReadXifWithXfb(const std::string& xifPath);
std::string XfbPathFor(const std::string& xifPath);
bool IsProgramId(const std::string& s);  // 16 hexadecimal digits

}  // namespace ovx::detail
