// Writing and reading whole .q70 files. The reader treats every byte as
// hostile: all counts, lengths and indices are checked before use, and the
// amount of data a file may expand to is bounded.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "Bytes.h"
#include "FileBuilder.h"
#include "PayloadEncoder.h"
#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

namespace ns2vq {

using bytes::Buffer;
using bytes::GetU16;
using bytes::GetU32;
using bytes::PutU16;
using bytes::PutU32;

namespace {

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodZlib = 1;
constexpr std::size_t kCrcOffset = 44;
// Bounds on what a payload may expand to in memory: front-coded strings and
// shared lists let a small file describe a great deal.
constexpr std::size_t kMaxDecodedTextBytes = 64u << 20;
constexpr std::size_t kMaxExpandedEntries = 2'000'000;
constexpr std::size_t kMaxStrings = 1'000'000;

const Bytef* Dictionary() {
    return reinterpret_cast<const Bytef*>(kQ70Dictionary);
}

bool Deflate(const Buffer& in, int strategy, bool withDictionary, Buffer* out) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, 15, 9, strategy) != Z_OK) return false;
    if (withDictionary &&
        deflateSetDictionary(&z, Dictionary(), static_cast<uInt>(kQ70DictionarySize)) != Z_OK) {
        deflateEnd(&z);
        return false;
    }
    out->resize(deflateBound(&z, static_cast<uLong>(in.size())));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out->data();
    z.avail_out = static_cast<uInt>(out->size());
    const int rc = deflate(&z, Z_FINISH);
    out->resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

// The smallest zlib stream of the payload; empty if zlib failed throughout.
// A small payload is tried with every strategy, with and without the preset
// dictionary: there the stream's fixed costs count and the dictionary's texts
// are a large share. A large one only with the two strategies that win on
// records, against the dictionary (which costs 4 bytes at most), so that
// writing a big site stays as fast as one pass each.
Buffer SmallestStream(const Buffer& payload) {
    constexpr std::size_t kSmallPayload = 64u << 10;
    const bool small = payload.size() <= kSmallPayload;
    const std::vector<int> strategies =
        small ? std::vector<int>{Z_DEFAULT_STRATEGY, Z_FILTERED, Z_FIXED, Z_RLE, Z_HUFFMAN_ONLY}
              : std::vector<int>{Z_DEFAULT_STRATEGY, Z_FILTERED};
    const std::vector<bool> dictionaries = small ? std::vector<bool>{false, true} : std::vector<bool>{true};
    Buffer best, candidate;
    for (int strategy : strategies)
        for (bool withDictionary : dictionaries)
            if (Deflate(payload, strategy, withDictionary, &candidate) &&
                (best.empty() || candidate.size() < best.size()))
                best.swap(candidate);
    return best;
}

// Inflates exactly expected bytes; anything else (short, long, trailing
// input, a broken stream, a dictionary other than the format's) is a failure.
bool Inflate(const std::uint8_t* in, std::size_t size, std::size_t expected, Buffer* out) {
    out->assign(expected, 0);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(size);
    std::uint8_t spare = 0;
    z.next_out = expected ? out->data() : &spare;
    z.avail_out = static_cast<uInt>(expected);
    int rc = inflate(&z, Z_FINISH);
    // zlib refuses the dictionary when its Adler-32 is not the one the stream names.
    if (rc == Z_NEED_DICT &&
        inflateSetDictionary(&z, Dictionary(), static_cast<uInt>(kQ70DictionarySize)) == Z_OK)
        rc = inflate(&z, Z_FINISH);
    const bool done = rc == Z_STREAM_END && z.total_out == expected && z.avail_in == 0;
    inflateEnd(&z);
    return done;
}

std::uint32_t Checksum(const std::uint8_t* header, const std::uint8_t* stored, std::size_t storedSize) {
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, header, static_cast<uInt>(kCrcOffset));
    crc = crc32(crc, stored, static_cast<uInt>(storedSize));
    return static_cast<std::uint32_t>(crc);
}

ReadResult Fail(std::uint16_t status, std::string reason) {
    return ReadResult{status, std::move(reason)};
}

// ------------------------------------------------------------ payload parsing

class PayloadParser {
public:
    PayloadParser(const std::uint8_t* data, std::size_t size) : r_(data, size) {}

    ReadResult Parse(std::size_t headerSections, Q70File* out);

private:
    bool Strings(std::vector<std::string>* table, const char* what);
    bool NvLists();
    bool CpLists();
    bool Value(bytes::Reader& r, ovx::Value* v);
    bool Text(bytes::Reader& r, std::string* s) {
        const std::uint32_t i = r.Var();
        if (!r.ok() || i >= texts_.size()) return false;
        *s = texts_[i];
        return true;
    }
    bool Name(bytes::Reader& r, std::string* s) {
        const std::uint32_t i = r.Var();
        if (!r.ok() || i >= names_.size()) return false;
        *s = names_[i];
        return true;
    }
    struct DeviceFields {
        std::uint32_t handle = 0, name = 0, programId = 0, location = 0, sarvikId = 0, templateName = 0;
        std::int32_t channel = 0;
    };
    bool Device(bytes::Reader& r, DeviceFields& prev, ovx::DeviceDetails* d);
    bool Router(bytes::Reader& r, ovx::RouterDetails* router);
    ReadResult Bad(std::string reason) { return Fail(N2VSTS_FILE_INTEGRITY, std::move(reason)); }

    bytes::Reader r_;
    std::vector<std::string> names_, texts_;
    std::vector<std::vector<ovx::NvInfo>> nvLists_;
    std::vector<std::vector<ovx::CpInfo>> cpLists_;
    std::size_t textBytes_ = 0;
    std::size_t expanded_ = 0;
    std::size_t objects_ = 0;
    std::string why_;
};

// The string a number entry makes from the previous string.
bool NextNumber(const std::string& last, std::uint32_t kind, std::uint32_t shared, std::int32_t delta,
                std::string* out) {
    const int base = kind == strings::kDecimal ? 10 : 36;
    if (shared != strings::NumberStart(last, base)) return false;
    const std::int64_t value = strings::NumberValue(last.substr(shared), base) + delta;
    if (value < 0 || value > (base == 10 ? 999'999'999 : 2'176'782'335)) return false;
    *out = last.substr(0, shared) + strings::NumberText(value, base);
    return true;
}

bool PayloadParser::Strings(std::vector<std::string>* table, const char* what) {
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > kMaxStrings) return why_ = std::string("bad ") + what + " count", false;
    const std::string bad = std::string("bad entry in the ") + what + " table";
    table->reserve(std::min<std::size_t>(count, r_.Remaining()));
    std::string last;
    bool lastWasNumber = false;
    std::uint32_t lastKind = 0;
    std::uint32_t lastShared = 0;
    std::int32_t lastDelta = 0;
    auto add = [&](std::string s) {
        textBytes_ += s.size();
        table->push_back(s);
        last = std::move(s);
        return textBytes_ <= kMaxDecodedTextBytes;
    };
    while (table->size() < count) {
        const std::uint32_t header = r_.Var();
        const std::uint32_t shared = header >> 2;
        std::string s;
        switch (header & 3) {
            case strings::kLiteral: {
                const std::uint32_t rest = r_.Var();
                if (!r_.ok() || shared > last.size() || rest > r_.Remaining()) return why_ = bad, false;
                lastWasNumber = false;
                if (!add(last.substr(0, shared) + r_.Text(rest)))
                    return why_ = "strings expand beyond the reader's limit", false;
                break;
            }
            case strings::kDecimal:
            case strings::kBase36: {
                const std::int32_t delta = r_.SVar();
                if (!r_.ok() || !NextNumber(last, header & 3, shared, delta, &s)) return why_ = bad, false;
                lastWasNumber = true;
                lastKind = header & 3;
                lastShared = shared;
                lastDelta = delta;
                if (!add(std::move(s))) return why_ = "strings expand beyond the reader's limit", false;
                break;
            }
            case strings::kRepeat: {
                const std::uint32_t n = r_.Var();
                if (!r_.ok() || shared != 0 || !lastWasNumber || n == 0 || n > count - table->size())
                    return why_ = bad, false;
                for (std::uint32_t i = 0; i < n; ++i) {
                    if (!NextNumber(last, lastKind, lastShared, lastDelta, &s)) return why_ = bad, false;
                    if (!add(std::move(s))) return why_ = "strings expand beyond the reader's limit", false;
                }
                break;
            }
            default:
                return why_ = bad, false;
        }
    }
    return r_.ok();
}

bool PayloadParser::NvLists() {
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > r_.Remaining()) return why_ = "bad NV list count", false;
    nvLists_.resize(count);
    for (auto& list : nvLists_) {
        const std::uint32_t n = r_.Var();
        if (!r_.ok() || n > r_.Remaining() / 3) return why_ = "bad NV list length", false;
        list.resize(n);
        for (ovx::NvInfo& nv : list) {
            nv.index = r_.SVar();
            if (!Text(r_, &nv.name)) return why_ = "bad NV name", false;
            const std::uint32_t typeAndFlag = r_.Var();
            if (!r_.ok() || (typeAndFlag >> 1) >= texts_.size()) return why_ = "bad NV type", false;
            nv.type = texts_[typeAndFlag >> 1];
            nv.nodeObject = (typeAndFlag & 1) != 0;
        }
    }
    return true;
}

bool PayloadParser::Value(bytes::Reader& r, ovx::Value* v) {
    switch (r.Var()) {
        case 0:
            *v = std::monostate{};
            return r.ok();
        case 1:
            *v = r.SVar();
            return r.ok();
        case 2: {
            std::string s;
            if (!Text(r, &s)) return false;
            *v = std::move(s);
            return true;
        }
        default:
            return false;
    }
}

bool PayloadParser::CpLists() {
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > r_.Remaining()) return why_ = "bad CP list count", false;
    cpLists_.resize(count);
    for (auto& list : cpLists_) {
        const std::uint32_t n = r_.Var();
        if (!r_.ok() || n > r_.Remaining() / 3) return why_ = "bad CP list length", false;
        list.resize(n);
        for (ovx::CpInfo& cp : list) {
            if (!Text(r_, &cp.name) || !Value(r_, &cp.value) || !Value(r_, &cp.defaultValue))
                return why_ = "bad CP entry", false;
        }
    }
    return true;
}

bool PayloadParser::Device(bytes::Reader& r, DeviceFields& prev, ovx::DeviceDetails* d) {
    // Each field is the difference from the section's previous device record.
    auto next = [&r](std::uint32_t& field) {
        field += static_cast<std::uint32_t>(r.SVar());
        return field;
    };
    d->handle = next(prev.handle);
    const std::uint32_t name = next(prev.name), pid = next(prev.programId), location = next(prev.location),
                        sarvik = next(prev.sarvikId);
    prev.channel = static_cast<std::int32_t>(static_cast<std::uint32_t>(prev.channel) +
                                             static_cast<std::uint32_t>(r.SVar()));
    d->channelId = prev.channel;
    const std::uint32_t tmpl = next(prev.templateName);
    if (!r.ok() || name >= names_.size() || pid >= texts_.size() || location >= texts_.size() ||
        sarvik >= texts_.size() || tmpl >= texts_.size())
        return false;
    d->name = names_[name];
    d->programId = texts_[pid];
    d->location = texts_[location];
    d->sarvikId = texts_[sarvik];
    d->templateName = texts_[tmpl];
    const std::uint32_t nv = r.Var();
    const std::uint32_t cp = r.Var();
    if (!r.ok() || nv > nvLists_.size() || cp > cpLists_.size()) return false;
    if (nv) {
        d->nvs = nvLists_[nv - 1];
        d->templateNvCount = static_cast<int>(d->nvs.size());
        expanded_ += d->nvs.size();
    }
    if (cp) {
        d->cps = cpLists_[cp - 1];
        expanded_ += d->cps.size();
    }
    return expanded_ <= kMaxExpandedEntries;
}

bool PayloadParser::Router(bytes::Reader& r, ovx::RouterDetails* router) {
    const std::uint32_t handle = r.Var();
    if (handle > 0xFFFF) return false;
    router->handle = static_cast<std::int16_t>(static_cast<std::uint16_t>(handle));
    if (!Name(r, &router->name)) return false;
    router->nearChannelId = r.SVar();
    router->farChannelId = r.SVar();
    return r.ok();
}

ReadResult PayloadParser::Parse(std::size_t headerSections, Q70File* out) {
    if (!Strings(&names_, "name") || !Strings(&texts_, "text") || !NvLists() || !CpLists())
        return Bad(why_.empty() ? "truncated tables" : why_);

    struct Entry {
        std::uint32_t handle, name, sarvik, location, size;
        std::int32_t channel;
    };
    const std::uint32_t count = r_.Var();
    if (!r_.ok() || count > r_.Remaining() / 6) return Bad("bad section count");
    if (count != headerSections) return Bad("header and directory disagree on the number of sections");
    std::vector<Entry> dir(count);
    std::size_t total = 0;
    for (Entry& e : dir) {
        e.handle = r_.Var();
        e.name = r_.Var();
        e.sarvik = r_.Var();
        e.location = r_.Var();
        e.channel = r_.SVar();
        e.size = r_.Var();
        if (!r_.ok() || e.name >= names_.size() || e.sarvik >= texts_.size() || e.location >= texts_.size())
            return Bad("bad section directory entry");
        total += e.size;
    }
    if (total != r_.Remaining()) return Bad("section sizes do not add up to the payload");

    std::vector<Q70Section> sections(count);
    for (std::uint32_t si = 0; si < count; ++si) {
        const Entry& e = dir[si];
        Q70Section& section = sections[si];
        bytes::Reader records(r_.Position(), e.size);
        r_.Skip(e.size);
        bool haveVq = false;
        DeviceFields previous;
        const std::uint8_t* lastBody = nullptr;  // the last device record, for repeats
        std::size_t lastLen = 0;
        RecordType lastType = RecordType::Vq;
        const std::string where = "section " + std::to_string(si + 1);
        auto addDevice = [&](RecordType rt, const std::uint8_t* at, std::size_t len) {
            bytes::Reader body(at, len);
            ovx::DeviceDetails d;
            const bool ok = Device(body, previous, &d) && body.ok() && body.Remaining() == 0;
            if (rt == RecordType::Vq) {
                haveVq = true;
                section.vq = std::move(d);
            } else {
                (rt == RecordType::NearDevice ? section.nearDevices : section.farDevices)
                    .push_back(std::move(d));
            }
            return ok && ++objects_ <= kVqMaxObjects && expanded_ <= kMaxExpandedEntries;
        };
        while (records.Remaining() > 0) {
            const std::uint8_t type = records.U8();
            const std::uint32_t len = records.Var();
            if (!records.ok() || len > records.Remaining()) return Bad("truncated record in " + where);
            const std::uint8_t* at = records.Position();
            records.Skip(len);
            if (type < 1 || type > 5)
                return Fail(N2VSTS_UNSUPPORTED_RECORD_TYPE,
                            "record type " + std::to_string(type) + " in " + where);
            const auto rt = static_cast<RecordType>(type);
            if ((rt == RecordType::Vq) == haveVq)
                return Bad(haveVq ? "second VQ record in " + where : where + " does not begin with its VQ");
            if (rt == RecordType::Router) {
                bytes::Reader body(at, len);
                ovx::RouterDetails router;
                if (section.router) return Bad("second router record in " + where);
                if (!Router(body, &router) || body.Remaining() != 0 || ++objects_ > kVqMaxObjects)
                    return Bad("malformed record in " + where);
                section.router = std::move(router);
                lastBody = nullptr;
            } else if (rt == RecordType::Repeat) {
                bytes::Reader body(at, len);
                const std::uint32_t n = body.Var();
                if (!body.ok() || body.Remaining() != 0 || n == 0 || !lastBody ||
                    n > kVqMaxObjects - objects_)
                    return Bad("malformed repeat in " + where);
                for (std::uint32_t i = 0; i < n; ++i)
                    if (!addDevice(lastType, lastBody, lastLen)) return Bad("malformed repeat in " + where);
            } else {
                if (!addDevice(rt, at, len)) return Bad("malformed record in " + where);
                lastBody = rt == RecordType::Vq ? nullptr : at;
                lastLen = len;
                lastType = rt;
            }
        }
        if (!haveVq) return Bad(where + " has no VQ record");
        const ovx::DeviceDetails& vq = section.vq;
        if (vq.handle != e.handle || vq.name != names_[e.name] || vq.sarvikId != texts_[e.sarvik] ||
            vq.location != texts_[e.location] || vq.channelId != e.channel)
            return Bad("directory key of " + where + " does not match its VQ");
    }
    if (out) out->sections = std::move(sections);
    return {};
}

// ------------------------------------------------------------ header

struct Header {
    std::string creator;
    std::uint32_t major = 0, minor = 0;
    std::uint16_t sections = 0, method = 0;
    std::uint32_t rawSize = 0, storedSize = 0;
};

ReadResult ReadHeader(const std::uint8_t* data, std::size_t size, Header* h) {
    if (size < kQ70HeaderSize) return Fail(N2VSTS_BAD_HEADER, "file is shorter than the header");
    if (std::memcmp(data, kQ70Magic, 4) != 0) return Fail(N2VSTS_BAD_HEADER, "not a .q70 file (magic)");
    if (GetU16(data + 4) != kQ70FormatVersion)
        return Fail(N2VSTS_BAD_HEADER,
                    "format version " + std::to_string(GetU16(data + 4)) + " not supported");
    if (GetU16(data + 6) != kQ70HeaderSize) return Fail(N2VSTS_BAD_HEADER, "wrong header size");
    const char* creator = reinterpret_cast<const char*>(data + 8);
    const std::size_t len = strnlen(creator, kQ70CreatorSize);
    h->creator.assign(creator, len);
    for (std::size_t i = len; i < kQ70CreatorSize; ++i)
        if (creator[i] != 0) return Fail(N2VSTS_BAD_HEADER, "creator field not zero-padded");
    if (h->creator != kQ70Creator) return Fail(N2VSTS_BAD_HEADER, "unknown creator \"" + h->creator + "\"");
    h->major = GetU32(data + 20);
    h->minor = GetU32(data + 24);
    h->sections = GetU16(data + 28);
    h->method = GetU16(data + 30);
    h->rawSize = GetU32(data + 32);
    h->storedSize = GetU32(data + 36);
    if (h->method != kMethodStored && h->method != kMethodZlib)
        return Fail(N2VSTS_BAD_HEADER, "unknown compression method " + std::to_string(h->method));
    if (GetU32(data + 40) != 0) return Fail(N2VSTS_BAD_HEADER, "reserved field not zero");
    if (size - kQ70HeaderSize != h->storedSize)
        return Fail(N2VSTS_FILE_INTEGRITY, "file holds " + std::to_string(size - kQ70HeaderSize) +
                                               " payload bytes, header says " +
                                               std::to_string(h->storedSize));
    if (Checksum(data, data + kQ70HeaderSize, h->storedSize) != GetU32(data + kCrcOffset))
        return Fail(N2VSTS_FILE_CHECKSUM, "checksum does not match");
    if (h->rawSize > kVqDatabaseMemory - kQ70HeaderSize)
        return Fail(N2VSTS_FILE_INTEGRITY, "records exceed the VQ's database memory");
    return {};
}

}  // namespace

std::vector<std::uint8_t> EncodePayload(const Q70File& file) {
    PayloadEncoder enc;
    for (const Q70Section& s : file.sections) {
        const bool nv = s.vq.templateNvCount >= 0 || !s.vq.nvs.empty();
        enc.BeginSection(s.vq, nv, true);
        for (const auto& d : s.nearDevices)
            enc.AddDevice(d, RecordType::NearDevice, d.templateNvCount >= 0 || !d.nvs.empty(), true);
        if (s.router) enc.AddRouter(*s.router);
        for (const auto& d : s.farDevices)
            enc.AddDevice(d, RecordType::FarDevice, d.templateNvCount >= 0 || !d.nvs.empty(), true);
    }
    return enc.Finish();
}

namespace detail {

Buffer BuildFile(const std::string& creator, std::uint32_t major, std::uint32_t minor, std::size_t sections,
                 const Buffer& payload, bool compress) {
    std::uint16_t method = kMethodZlib;
    Buffer stored = compress ? SmallestStream(payload) : Buffer{};
    if (stored.empty() || stored.size() >= payload.size()) {
        stored = payload;
        method = kMethodStored;
    }
    Buffer out;
    out.reserve(kQ70HeaderSize + stored.size());
    for (char c : kQ70Magic) out.push_back(static_cast<std::uint8_t>(c));
    PutU16(out, kQ70FormatVersion);
    PutU16(out, kQ70HeaderSize);
    for (std::size_t i = 0; i < kQ70CreatorSize; ++i)
        out.push_back(i < creator.size() ? static_cast<std::uint8_t>(creator[i]) : 0);
    PutU32(out, major);
    PutU32(out, minor);
    PutU16(out, static_cast<std::uint16_t>(sections));
    PutU16(out, method);
    PutU32(out, static_cast<std::uint32_t>(payload.size()));
    PutU32(out, static_cast<std::uint32_t>(stored.size()));
    PutU32(out, 0);
    PutU32(out, Checksum(out.data(), stored.data(), stored.size()));
    out.insert(out.end(), stored.begin(), stored.end());
    return out;
}

}  // namespace detail

std::vector<std::uint8_t> EncodeFile(const Q70File& file) {
    return detail::BuildFile(file.creator, file.major, file.minor, file.sections.size(), EncodePayload(file));
}

ReadResult ReadPayload(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>* payload) {
    Header h;
    if (ReadResult r = ReadHeader(data, size, &h); !r) return r;
    const std::uint8_t* stored = data + kQ70HeaderSize;
    if (h.method == kMethodStored) {
        if (h.storedSize != h.rawSize) return Fail(N2VSTS_FILE_INTEGRITY, "stored payload size mismatch");
        payload->assign(stored, stored + h.storedSize);
    } else if (!Inflate(stored, h.storedSize, h.rawSize, payload)) {
        return Fail(N2VSTS_FILE_INTEGRITY, "compressed payload does not expand to the size in the header");
    }
    return {};
}

ReadResult ReadFile(const std::uint8_t* data, std::size_t size, Q70File* out) {
    Buffer payload;
    if (ReadResult r = ReadPayload(data, size, &payload); !r) return r;
    Header h;
    ReadHeader(data, size, &h);
    PayloadParser parser(payload.data(), payload.size());
    if (ReadResult r = parser.Parse(h.sections, out); !r) return r;
    if (out) {
        out->creator = h.creator;
        out->major = h.major;
        out->minor = h.minor;
    }
    return {};
}

ReadResult VerifyFile(const std::string& path, Q70File* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(N2VSTS_BAD_HEADER, "cannot open " + path);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // No sound file is larger than the VQ's memory; do not read a huge one whole.
    if (size < 0 || static_cast<std::size_t>(size) > 2 * kVqDatabaseMemory)
        return Fail(size < 0 ? N2VSTS_BAD_HEADER : N2VSTS_FILE_INTEGRITY, "file too large for a VQ");
    in.seekg(0);
    Buffer data(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), size);
    if (!in) return Fail(N2VSTS_BAD_HEADER, "cannot read " + path);
    return ReadFile(data.data(), data.size(), out);
}

int FindSection(const Q70File& file, const std::string& sarvikId) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    const std::string want = lower(sarvikId);
    for (std::size_t i = 0; i < file.sections.size(); ++i)
        if (!want.empty() && lower(file.sections[i].vq.sarvikId) == want) return static_cast<int>(i);
    return -1;
}

const char* StatusName(std::uint16_t status) {
    switch (status) {
        case N2VSTS_OK:
            return "N2VSTS_OK";
        case N2VSTS_NOT_IMPLEMENTED:
            return "N2VSTS_NOT_IMPLEMENTED";
        case N2VSTS_TWO_LOCAL_ROUTERS:
            return "N2VSTS_TWO_LOCAL_ROUTERS";
        case N2VSTS_UNIQUENESS_CONFLICT:
            return "N2VSTS_UNIQUENESS_CONFLICT";
        case N2VSTS_OUT_OF_MEMORY:
            return "N2VSTS_OUT_OF_MEMORY";
        case N2VSTS_NV_COUNT_MISMATCH:
            return "N2VSTS_NV_COUNT_MISMATCH";
        case N2VSTS_CP_VALUE_UNAVAILABLE:
            return "N2VSTS_CP_VALUE_UNAVAILABLE";
        case N2VSTS_BAD_PARMS:
            return "N2VSTS_BAD_PARMS";
        case N2VSTS_UNKNOWN_CHANNEL_ID:
            return "N2VSTS_UNKNOWN_CHANNEL_ID";
        case N2VSTS_UNSUPPORTED_RECORD_TYPE:
            return "N2VSTS_UNSUPPORTED_RECORD_TYPE";
        case N2VSTS_BAD_HEADER:
            return "N2VSTS_BAD_HEADER";
        case N2VSTS_FILE_INTEGRITY:
            return "N2VSTS_FILE_INTEGRITY";
        case N2VSTS_FILE_CHECKSUM:
            return "N2VSTS_FILE_CHECKSUM";
        case N2VSTS_ACK_GROUP_VIOLATION:
            return "N2VSTS_ACK_GROUP_VIOLATION";
        case N2VSTS_SEVERAL_VQS_ON_CHANNEL:
            return "N2VSTS_SEVERAL_VQS_ON_CHANNEL";
        case N2VSTS_NO_NODE_OBJECT_NVS:
            return "N2VSTS_NO_NODE_OBJECT_NVS";
        case N2VSTS_DUPLICATE_IN_HIERARCHY:
            return "N2VSTS_DUPLICATE_IN_HIERARCHY";
        case N2VSTS_NO_LOCATION_ON_SHARED_CHANNEL:
            return "N2VSTS_NO_LOCATION_ON_SHARED_CHANNEL";
        case N2VSTS_DUPLICATE_ON_CHANNEL:
            return "N2VSTS_DUPLICATE_ON_CHANNEL";
        case N2VSTS_SECOND_VQ_IN_HIERARCHY:
            return "N2VSTS_SECOND_VQ_IN_HIERARCHY";
        default:
            return nullptr;
    }
}

}  // namespace ns2vq
