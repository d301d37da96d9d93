#include "xif.h"

#include <zlib.h>

#include <cctype>
#include <fstream>
#include <sstream>

namespace ovx::detail {

namespace {

constexpr char kXfbMagic[8] = {'O', 'V', 'X', 'F', 'B', '1', '\r', '\n'};

[[noreturn]] void Bad(const std::string& source, int line, const std::string& what) {
    throw Error(kErrXifUnreadable, "Cannot read the external interface file " + source + ", line " +
                                       std::to_string(line) + ": " + what);
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::ostringstream ss;
    ss << f.rdbuf();
    out = ss.str();
    return !f.bad();
}

bool IsName(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

// A default value: a decimal 32-bit integer or a double-quoted text.
Value ParseValue(const std::string& rest, const std::string& source, int line) {
    if (rest.empty()) return std::monostate{};
    if (rest.front() == '"') {
        if (rest.size() < 2 || rest.back() != '"') Bad(source, line, "unterminated text value");
        const std::string inner = rest.substr(1, rest.size() - 2);
        if (inner.find('"') != std::string::npos) Bad(source, line, "a quote inside a text value");
        return inner;
    }
    std::size_t used = 0;
    long long v = 0;
    try {
        v = std::stoll(rest, &used, 10);
    } catch (const std::exception&) {
        Bad(source, line, "default value \"" + rest + "\" is neither an integer nor a quoted text");
    }
    if (used != rest.size())
        Bad(source, line, "default value \"" + rest + "\" is neither an integer nor a quoted text");
    if (v < INT32_MIN || v > INT32_MAX)
        Bad(source, line, "default value " + rest + " does not fit in 32 bits");
    return static_cast<std::int32_t>(v);
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

}  // namespace

bool IsProgramId(const std::string& s) {
    if (s.size() != 16) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

XifInterface ParseXif(const std::string& text, const std::string& source) {
    XifInterface out;
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    bool header = false;
    while (std::getline(in, raw)) {
        ++line;
        const std::string l = Trim(raw);
        if (l.empty() || l[0] == '#') continue;
        std::istringstream words(l);
        std::string word;
        words >> word;
        if (!header) {
            std::string version;
            words >> version;
            if (word != "ovx-xif" || version != "1")
                Bad(source, line, "the first line must be \"ovx-xif 1\"");
            header = true;
            continue;
        }
        if (word == "program_id") {
            std::string id, extra;
            words >> id >> extra;
            if (!IsProgramId(id) || !extra.empty())
                Bad(source, line, "program_id needs 16 hexadecimal digits");
            if (!out.programId.empty()) Bad(source, line, "a second program_id");
            for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            out.programId = id;
        } else if (word == "nv") {
            std::string name, type, flag, extra;
            words >> name >> type >> flag >> extra;
            if (!IsName(name) || !IsName(type)) Bad(source, line, "nv needs a name and a type");
            if (!(flag.empty() || flag == "node") || !extra.empty())
                Bad(source, line, "after the nv type only the word \"node\" may follow");
            out.nvs.push_back({name, type, flag == "node"});
        } else if (word == "cp") {
            std::string name;
            words >> name;
            if (!IsName(name)) Bad(source, line, "cp needs a name");
            std::string rest;
            std::getline(words, rest);
            out.cps.push_back({name, ParseValue(Trim(rest), source, line)});
        } else {
            Bad(source, line, "unknown keyword \"" + word + "\"");
        }
    }
    if (!header) Bad(source, line, "the file is empty");
    if (out.programId.empty()) Bad(source, line, "no program_id line");
    return out;
}

std::vector<std::uint8_t> MakeXfb(const std::string& xifText, const XifInterface& parsed) {
    std::vector<std::uint8_t> out(kXfbMagic, kXfbMagic + 8);
    PutU32(out, static_cast<std::uint32_t>(xifText.size()));
    PutU32(out, static_cast<std::uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(xifText.data()),
                                                 static_cast<uInt>(xifText.size()))));
    PutU32(out, static_cast<std::uint32_t>(parsed.nvs.size()));
    PutU32(out, static_cast<std::uint32_t>(parsed.cps.size()));
    return out;
}

std::string XfbPathFor(const std::string& xifPath) {
    const auto slash = xifPath.find_last_of("/\\");
    const auto dot = xifPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return xifPath + ".xfb";
    return xifPath.substr(0, dot) + ".xfb";
}

XifInterface ReadXifWithXfb(const std::string& xifPath) {
    std::string text;
    if (!ReadFile(xifPath, text))
        throw Error(kErrXifUnreadable,
                    "Cannot read the external interface file " + xifPath + ", line 0: cannot open it");
    XifInterface parsed = ParseXif(text, xifPath);
    const std::string xfbPath = XfbPathFor(xifPath);
    std::string xfb;
    if (!ReadFile(xfbPath, xfb))
        throw Error(kErrXfbMismatch,
                    "The binary interface file " + xfbPath + " is missing; run xifpack on " + xifPath);
    const std::vector<std::uint8_t> want = MakeXfb(text, parsed);
    if (std::vector<std::uint8_t>(xfb.begin(), xfb.end()) != want)
        throw Error(kErrXfbMismatch, "The binary interface file " + xfbPath + " does not match " + xifPath +
                                         "; run xifpack again");
    return parsed;
}

}  // namespace ovx::detail
