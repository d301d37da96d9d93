// Type files: line statements "qpl-types 1", "type ...", "nv ...".
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "names.h"
#include "qpicg/compiler.h"

namespace qpicg {

namespace {

constexpr std::string_view kReserved[] = {"after", "and",    "commission", "else",   "event", "if",    "int",
                                          "not",   "or",     "pin",        "return", "send",  "start", "stop",
                                          "timer", "update", "var",        "when",   "while"};

struct Word {
    std::string_view text;
    int column;
};

bool ParseInt(std::string_view s, std::int32_t* out) {
    bool neg = false;
    if (!s.empty() && s[0] == '-') neg = true, s.remove_prefix(1);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) base = 16, s.remove_prefix(2);
    if (s.empty()) return false;
    std::int64_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * base + d;
        if (v > 2147483648LL) return false;
    }
    if (neg) v = -v;
    if (v > INT32_MAX) return false;
    *out = std::int32_t(v);
    return true;
}

}  // namespace

bool IsName(std::string_view s) {
    if (s.empty() || s.size() > qpx::kMaxNameLength || !IsNameStart(s[0])) return false;
    return std::all_of(s.begin(), s.end(), IsNameChar);
}

bool IsReserved(std::string_view s) {
    return std::find(std::begin(kReserved), std::end(kReserved), s) != std::end(kReserved);
}

std::string Diagnostic::Text() const {
    if (line == 0) return file + ": " + message;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

TypeSet::TypeSet() {
    Type t;
    t.name = "int";
    types.push_back(t);
}

int TypeSet::FindType(std::string_view name) const {
    for (std::size_t i = 0; i < types.size(); ++i)
        if (types[i].name == name) return int(i);
    return -1;
}

bool ParseTypes(std::string_view text, const std::string& file, TypeSet* ts, Diagnostic* error) {
    int lineNo = 0;
    bool header = false;
    auto fail = [&](int column, std::string message) {
        *error = Diagnostic{file, lineNo, column, std::move(message)};
        return false;
    };
    // A new name of the program's name space: network variables and enumeration values.
    auto checkNew = [&](const Word& w) {
        if (!IsName(w.text)) return fail(w.column, "'" + std::string(w.text) + "' is not a name");
        if (IsReserved(w.text)) return fail(w.column, "'" + std::string(w.text) + "' is a reserved word");
        if (ts->enumValues.count(w.text))
            return fail(w.column, "'" + std::string(w.text) + "' is already a value of type '" +
                                      ts->types[ts->enumValues.find(w.text)->second.first].name + "'");
        for (const auto& nv : ts->networkVariables)
            if (nv.name == w.text)
                return fail(w.column, "'" + std::string(w.text) + "' is already a network variable");
        return true;
    };
    std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;  // a byte order mark
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::vector<Word> w;
        for (std::size_t i = 0; i < line.size();) {
            if (line[i] == ' ' || line[i] == '\t') {
                ++i;
                continue;
            }
            if (line[i] == '#') break;
            std::size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '#') ++j;
            w.push_back({line.substr(i, j - i), int(i + 1)});
            i = j;
        }
        if (w.empty()) continue;
        auto tooMany = [&](std::size_t n) {
            return w.size() > n ? fail(w[n].column, "unexpected '" + std::string(w[n].text) +
                                                        "' at the end of the statement")
                                : true;
        };
        if (!header) {
            if (w.size() != 2 || w[0].text != "qpl-types" || w[1].text != "1")
                return fail(w[0].column, "expected the header 'qpl-types 1'");
            header = true;
            continue;
        }
        if (w[0].text == "type") {
            if (w.size() < 3)
                return fail(w[0].column, "expected 'type NAME range MIN MAX' or 'type NAME enum VALUES'");
            if (!IsName(w[1].text))
                return fail(w[1].column, "'" + std::string(w[1].text) + "' is not a name");
            if (ts->FindType(w[1].text) >= 0)
                return fail(w[1].column, "type '" + std::string(w[1].text) + "' is already defined");
            Type t;
            t.name = std::string(w[1].text);
            if (w[2].text == "range") {
                if (w.size() < 5) return fail(w[2].column, "expected 'range MIN MAX'");
                if (!ParseInt(w[3].text, &t.min))
                    return fail(w[3].column, "'" + std::string(w[3].text) + "' is not a 32-bit integer");
                if (!ParseInt(w[4].text, &t.max))
                    return fail(w[4].column, "'" + std::string(w[4].text) + "' is not a 32-bit integer");
                if (t.min > t.max) return fail(w[3].column, "the range is empty");
                if (!tooMany(5)) return false;
                ts->types.push_back(t);
            } else if (w[2].text == "enum") {
                t.kind = Type::Kind::Enum;
                if (w.size() < 4) return fail(w[2].column, "an enumeration needs at least one value");
                const int index = int(ts->types.size());
                ts->types.push_back(t);
                for (std::size_t i = 3; i < w.size(); ++i) {
                    const std::size_t eq = w[i].text.find('=');
                    std::int32_t v;
                    if (eq == std::string_view::npos || !ParseInt(w[i].text.substr(eq + 1), &v))
                        return fail(w[i].column,
                                    "expected NAME=VALUE, found '" + std::string(w[i].text) + "'");
                    const Word name{w[i].text.substr(0, eq), w[i].column};
                    if (!checkNew(name)) return false;
                    ts->types[index].values.emplace_back(std::string(name.text), v);
                    ts->enumValues.emplace(std::string(name.text), std::make_pair(index, v));
                }
            } else {
                return fail(w[2].column,
                            "expected 'range' or 'enum', found '" + std::string(w[2].text) + "'");
            }
        } else if (w[0].text == "nv") {
            if (w.size() < 4) return fail(w[0].column, "expected 'nv NAME TYPE in' or 'nv NAME TYPE out'");
            if (!checkNew(w[1])) return false;
            DeviceVariable nv;
            nv.name = std::string(w[1].text);
            nv.type = ts->FindType(w[2].text);
            if (nv.type < 0) return fail(w[2].column, "unknown type '" + std::string(w[2].text) + "'");
            if (w[3].text == "in")
                nv.direction = qpx::Direction::In;
            else if (w[3].text == "out")
                nv.direction = qpx::Direction::Out;
            else
                return fail(w[3].column, "expected 'in' or 'out', found '" + std::string(w[3].text) + "'");
            if (!tooMany(4)) return false;
            ts->networkVariables.push_back(nv);
        } else {
            return fail(w[0].column, "unknown statement '" + std::string(w[0].text) + "'");
        }
    }
    if (!header) {
        lineNo = std::max(lineNo, 1);
        return fail(1, "expected the header 'qpl-types 1'");
    }
    return true;
}

bool LoadTypeFolder(const std::string& folder, TypeSet* ts, Diagnostic* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".qpt" && it->is_regular_file()) files.push_back(it->path());
    if (ec) {
        *error = Diagnostic{folder, 0, 0, "cannot read the type folder: " + ec.message()};
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& p : files) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        if (!in) {
            *error = Diagnostic{p.string(), 0, 0, "cannot read the type file"};
            return false;
        }
        if (!ParseTypes(ss.str(), p.string(), ts, error)) return false;
    }
    return true;
}

}  // namespace qpicg
