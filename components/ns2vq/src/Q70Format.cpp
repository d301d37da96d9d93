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
#include "PayloadReader.h"
#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

namespace ns2vq {

using bytes::Buffer;
using bytes::GetU16;
using bytes::GetU32;
using bytes::PutU16;
using bytes::PutU32;
using detail::Fail;

namespace {

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodZlib = 1;
constexpr std::size_t kCrcOffset = 44;

const Bytef* Dictionary() {
    return reinterpret_cast<const Bytef*>(kQ70Dictionary);
}

// One zlib stream of in. Each part (from its start to the next one's) goes
// into deflate blocks of its own, made with the part's strategy; the window
// carries over from part to part.
bool Deflate(const Buffer& in, const std::vector<std::size_t>& starts, const std::vector<int>& strategies,
             bool withDictionary, Buffer* out, int windowBits = 15) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, windowBits, 9, strategies.front()) != Z_OK) return false;
    if (withDictionary &&
        deflateSetDictionary(&z, Dictionary(), static_cast<uInt>(kQ70DictionarySize)) != Z_OK) {
        deflateEnd(&z);
        return false;
    }
    // Each block boundary may cost a few bytes beyond zlib's bound.
    out->resize(deflateBound(&z, static_cast<uLong>(in.size())) + 16 * starts.size());
    z.next_out = out->data();
    z.avail_out = static_cast<uInt>(out->size());
    int rc = Z_OK;
    for (std::size_t i = 0; i < starts.size() && rc == Z_OK; ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : in.size();
        if (i > 0 && deflateParams(&z, 9, strategies[i]) != Z_OK) rc = Z_STREAM_ERROR;
        z.next_in = const_cast<Bytef*>(in.data() + starts[i]);
        z.avail_in = static_cast<uInt>(end - starts[i]);
        const bool last = i + 1 == starts.size();
        if (rc == Z_OK) rc = deflate(&z, last ? Z_FINISH : Z_BLOCK);
        if (!last && (z.avail_in != 0 || z.avail_out == 0)) rc = Z_STREAM_ERROR;
    }
    out->resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

bool Deflate(const Buffer& in, int strategy, bool withDictionary, Buffer* out) {
    return Deflate(in, {0}, {strategy}, withDictionary, out);
}

constexpr int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_FIXED, Z_RLE, Z_HUFFMAN_ONLY};

// The payload's parts in blocks of their own, each with the strategy that
// makes the part smallest on its own: repeated texts and records want
// matches, columns of small numbers in no order want Huffman codes alone.
bool DeflateByParts(const detail::Payload& payload, Buffer* out) {
    std::vector<std::size_t> starts = {0};
    starts.insert(starts.end(), payload.parts.begin(), payload.parts.end());
    std::vector<int> strategies;
    Buffer candidate;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : payload.bytes.size();
        const Buffer part(payload.bytes.begin() + static_cast<std::ptrdiff_t>(starts[i]),
                          payload.bytes.begin() + static_cast<std::ptrdiff_t>(end));
        std::size_t best = SIZE_MAX;
        strategies.push_back(Z_DEFAULT_STRATEGY);
        for (int strategy : kStrategies)
            if (Deflate(part, {0}, {strategy}, false, &candidate, -15) && candidate.size() < best) {
                best = candidate.size();
                strategies.back() = strategy;
            }
    }
    return Deflate(payload.bytes, starts, strategies, true, out);
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
    const std::vector<int> strategies = small
                                            ? std::vector<int>(std::begin(kStrategies), std::end(kStrategies))
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

// ------------------------------------------------------------ header

struct Header {
    std::string creator;
    std::uint32_t major = 0, minor = 0;
    std::uint16_t version = 0, sections = 0, method = 0;
    std::uint32_t rawSize = 0, storedSize = 0;
};

ReadResult ReadHeader(const std::uint8_t* data, std::size_t size, Header* h) {
    if (size < kQ70HeaderSize) return Fail(N2VSTS_BAD_HEADER, "file is shorter than the header");
    if (std::memcmp(data, kQ70Magic, 4) != 0) return Fail(N2VSTS_BAD_HEADER, "not a .q70 file (magic)");
    h->version = GetU16(data + 4);
    if (h->version < kQ70OldestFormatVersion || h->version > kQ70FormatVersion)
        return Fail(N2VSTS_BAD_HEADER, "format version " + std::to_string(h->version) + " not supported");
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

namespace {

detail::Payload Encode(const Q70File& file) {
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

}  // namespace

std::vector<std::uint8_t> EncodePayload(const Q70File& file) {
    return Encode(file).bytes;
}

namespace detail {

Buffer BuildFile(const std::string& creator, std::uint32_t major, std::uint32_t minor, std::size_t sections,
                 const Payload& payload, bool compress) {
    std::uint16_t method = kMethodZlib;
    Buffer stored, byParts;
    if (compress) {
        stored = SmallestStream(payload.bytes);
        if (!payload.parts.empty() && DeflateByParts(payload, &byParts) &&
            (stored.empty() || byParts.size() < stored.size()))
            stored.swap(byParts);
    }
    if (stored.empty() || stored.size() >= payload.bytes.size()) {
        stored = payload.bytes;
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
    PutU32(out, static_cast<std::uint32_t>(payload.bytes.size()));
    PutU32(out, static_cast<std::uint32_t>(stored.size()));
    PutU32(out, 0);
    PutU32(out, Checksum(out.data(), stored.data(), stored.size()));
    out.insert(out.end(), stored.begin(), stored.end());
    return out;
}

}  // namespace detail

std::vector<std::uint8_t> EncodeFile(const Q70File& file) {
    return detail::BuildFile(file.creator, file.major, file.minor, file.sections.size(), Encode(file));
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
    const ReadResult r = h.version == kQ70FormatVersion
                             ? detail::ParsePayload(payload.data(), payload.size(), h.sections, out)
                             : detail::ParsePayloadV1(payload.data(), payload.size(), h.sections, out);
    if (!r) return r;
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
