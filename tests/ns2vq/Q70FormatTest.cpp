// The .q70 format: round trips, the worked example of docs/q70-format.md, and
// the reader's verdicts on damaged and hostile files.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "PayloadEncoder.h"
#include "Q70Fixtures.h"
#include "Records.h"
#include "ns2vq/ns2vq.h"
#include "ns2vq/q70.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace q70test;

void ExpectSameDevice(const ovx::DeviceDetails& a, const ovx::DeviceDetails& b) {
    EXPECT_EQ(a.handle, b.handle);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.programId, b.programId);
    EXPECT_EQ(a.location, b.location);
    EXPECT_EQ(a.sarvikId, b.sarvikId);
    EXPECT_EQ(a.channelId, b.channelId);
    EXPECT_EQ(a.templateName, b.templateName);
    ASSERT_EQ(a.nvs.size(), b.nvs.size()) << a.name;
    for (std::size_t i = 0; i < a.nvs.size(); ++i) {
        EXPECT_EQ(a.nvs[i].name, b.nvs[i].name);
        EXPECT_EQ(a.nvs[i].index, b.nvs[i].index);
        EXPECT_EQ(a.nvs[i].type, b.nvs[i].type);
        EXPECT_EQ(a.nvs[i].nodeObject, b.nvs[i].nodeObject);
    }
    ASSERT_EQ(a.cps.size(), b.cps.size()) << a.name;
    for (std::size_t i = 0; i < a.cps.size(); ++i) {
        EXPECT_EQ(a.cps[i].name, b.cps[i].name);
        EXPECT_EQ(a.cps[i].value, b.cps[i].value);
        EXPECT_EQ(a.cps[i].defaultValue, b.cps[i].defaultValue);
    }
}

void ExpectSameFile(const ns2vq::Q70File& a, const ns2vq::Q70File& b) {
    EXPECT_EQ(a.creator, b.creator);
    EXPECT_EQ(a.major, b.major);
    EXPECT_EQ(a.minor, b.minor);
    ASSERT_EQ(a.sections.size(), b.sections.size());
    for (std::size_t s = 0; s < a.sections.size(); ++s) {
        const auto& x = a.sections[s];
        const auto& y = b.sections[s];
        ExpectSameDevice(x.vq, y.vq);
        ASSERT_EQ(x.nearDevices.size(), y.nearDevices.size());
        for (std::size_t i = 0; i < x.nearDevices.size(); ++i)
            ExpectSameDevice(x.nearDevices[i], y.nearDevices[i]);
        ASSERT_EQ(x.router.has_value(), y.router.has_value());
        if (x.router) {
            EXPECT_EQ(x.router->handle, y.router->handle);
            EXPECT_EQ(x.router->name, y.router->name);
            EXPECT_EQ(x.router->nearChannelId, y.router->nearChannelId);
            EXPECT_EQ(x.router->farChannelId, y.router->farChannelId);
        }
        ASSERT_EQ(x.farDevices.size(), y.farDevices.size());
        for (std::size_t i = 0; i < x.farDevices.size(); ++i)
            ExpectSameDevice(x.farDevices[i], y.farDevices[i]);
    }
}

// A site with two hierarchies and values of every kind, negative numbers,
// a negative router handle, empty texts and a device without NV records.
ns2vq::Q70File MixedSite() {
    ns2vq::Q70File file;
    file.minor = 7;
    ns2vq::Q70Section a;
    a.vq = Vq(100, "North VQ", "N", 1);
    a.nearDevices.push_back(Device(101, "North fan 1", "9000010A01020304", "NF1", 1));
    a.nearDevices.push_back(Device(70000, "North fan 2", "9000010A01020304", "NF2", 1));
    a.nearDevices.back().cps.push_back({"cpOffset", std::int32_t{-40}, std::string("zero")});
    a.nearDevices.back().cps.push_back({"cpEmpty", std::monostate{}, std::monostate{}});
    a.router = Router(-2, "North router", 1, 2);
    a.farDevices.push_back(Device(0xFFFFFFFFu, "North pump", "9000010A0102FFFF", "", -3));
    a.farDevices.back().nvs.clear();
    a.farDevices.back().templateNvCount = -1;
    ns2vq::Q70Section b;
    b.vq = Vq(200, "South VQ", "S", 4);
    b.vq.sarvikId = "00D0A1B2C3D4";
    b.farDevices.push_back(Device(201, "South valve", "9000010A01020304", "SV", 5));
    file.sections = {a, b};
    return file;
}

// Sites of many shapes: names and locations that count in steps, with a
// fixed width or not; hex Sarvik IDs, some in sequence; more templates, and
// more lists per template, than the writer remembers; runs of devices alike
// enough to become copies; devices without NV records; sections with and
// without a router.
ns2vq::Q70File RandomSite(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto padded = [](int n, std::size_t width) {
        std::string t = std::to_string(n);
        return std::string(width > t.size() ? width - t.size() : 0, '0') + t;
    };
    auto hex = [](std::uint64_t v) {
        static const char* digits = "0123456789ABCDEF";
        std::string t(12, '0');
        for (int i = 11; i >= 0; --i, v >>= 4) t[static_cast<std::size_t>(i)] = digits[v & 15];
        return t;
    };
    static const char* prefixes[] = {"Fan ", "VAV-", "RS-A", "Pump", "L", "", "Z9"};
    ns2vq::Q70File f;
    std::uint32_t handle = 1 + static_cast<std::uint32_t>(pick(1000));
    int channel = 1;
    std::uint64_t serial = 0x04A100000000ull + static_cast<std::uint64_t>(pick(1 << 20));
    const int sections = 1 + pick(4);
    for (int si = 0; si < sections; ++si, channel += 2) {
        ns2vq::Q70Section sec;
        sec.vq = Vq(handle++, "VQ " + std::to_string(si), "V" + std::to_string(si), channel);
        sec.vq.sarvikId = pick(4) ? hex(serial++) : "";
        int counter = pick(120), run = 0, sarvikKind = 0, side = 0;
        std::string tmpl = "T0", prefix = prefixes[0], location = "F01R01";
        std::size_t width = 2;
        ovx::Value value;
        const int devices = pick(150);
        for (int i = 0; i < devices; ++i) {
            if (run > 0) {
                --run;  // the same kind of device again, one step on
            } else {
                if (pick(5) == 0) run = 4 + pick(30);
                tmpl = "T" + std::to_string(pick(20));
                prefix = prefixes[pick(7)];
                width = static_cast<std::size_t>(pick(4));
                if (pick(3) == 0) location = "F" + padded(pick(30), 2) + "R" + padded(pick(99), 2);
                sarvikKind = pick(3);
                side = pick(2);
                value = pick(3) == 0 ? ovx::Value{std::int32_t{pick(40) - 20}} : ovx::Value{};
            }
            counter += run > 0 ? 1 : pick(4);
            ovx::DeviceDetails d =
                Device(handle, prefix + padded(counter, width),
                       pick(8) ? "9000010A01020304" : "9000010A0102FFF" + std::to_string(pick(9)), location,
                       channel + side);
            handle += run > 0 ? 1 : 1 + static_cast<std::uint32_t>(pick(3) == 0 ? pick(70000) : 0);
            d.templateName = tmpl;
            d.sarvikId = sarvikKind == 0 ? "" : hex(sarvikKind == 1 ? serial++ : rng());
            d.cps[0].value = value;
            if (run == 0 && pick(9) == 0)
                d.cps.push_back({"cpSetpoints", std::string(pick(2) ? "21.0/24.0" : "x"), std::monostate{}});
            if (run == 0 && pick(10) == 0) {
                d.nvs.clear();
                d.templateNvCount = -1;
            }
            (side == 0 ? sec.nearDevices : sec.farDevices).push_back(std::move(d));
        }
        if (pick(4))
            sec.router = Router(static_cast<std::int16_t>(pick(65536) - 32768), "R" + std::to_string(si),
                                channel, channel + 1);
        f.sections.push_back(std::move(sec));
    }
    return f;
}

Bytes FixChecksum(Bytes b) {
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, b.data(), 44);
    crc = crc32(crc, b.data() + 48, static_cast<uInt>(b.size() - 48));
    for (int i = 0; i < 4; ++i) b[44 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    return b;
}

// A file whose payload is given as it is (method 0), with a sound checksum.
Bytes StoredFile(const Bytes& payload, std::uint16_t sections,
                 std::uint16_t version = ns2vq::kQ70FormatVersion) {
    Bytes f = ns2vq::EncodeFile(ns2vq::Q70File{});
    f.resize(48);
    f[4] = static_cast<std::uint8_t>(version);
    f[5] = static_cast<std::uint8_t>(version >> 8);
    f[28] = static_cast<std::uint8_t>(sections);
    f[29] = static_cast<std::uint8_t>(sections >> 8);
    f[30] = 0;
    for (int i = 0; i < 4; ++i) {
        f[32 + i] = static_cast<std::uint8_t>(payload.size() >> (8 * i));
        f[36 + i] = static_cast<std::uint8_t>(payload.size() >> (8 * i));
    }
    f.insert(f.end(), payload.begin(), payload.end());
    return FixChecksum(f);
}

std::vector<Bytes> HexBlocksOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<Bytes> blocks;
    std::string line;
    bool inBlock = false;
    while (std::getline(in, line)) {
        if (line.rfind("```hex", 0) == 0) {
            inBlock = true;
            blocks.emplace_back();
        } else if (inBlock && line.rfind("```", 0) == 0) {
            inBlock = false;
        } else if (inBlock) {
            std::istringstream words(line);
            std::string word;
            words >> word;  // offset
            while (words >> word)
                blocks.back().push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
        }
    }
    return blocks;
}

// The lines of the document's one text block, joined without line breaks.
std::string TextBlockOf(const std::string& path) {
    std::ifstream in(path);
    std::string line, text;
    bool inBlock = false;
    while (std::getline(in, line)) {
        if (line.rfind("```text", 0) == 0)
            inBlock = true;
        else if (inBlock && line.rfind("```", 0) == 0)
            break;
        else if (inBlock)
            text += line;
    }
    return text;
}

// A zlib stream of the payload, made against the given preset dictionary
// (none if empty), in a file with a sound header and checksum.
Bytes ZlibFile(const ns2vq::Q70File& site, const std::string& dictionary) {
    const Bytes payload = ns2vq::EncodePayload(site);
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, 9), Z_OK);
    if (!dictionary.empty())
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                             static_cast<uInt>(dictionary.size()));
    Bytes stream(deflateBound(&z, static_cast<uLong>(payload.size())));
    z.next_in = const_cast<Bytef*>(payload.data());
    z.avail_in = static_cast<uInt>(payload.size());
    z.next_out = stream.data();
    z.avail_out = static_cast<uInt>(stream.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    stream.resize(z.total_out);
    deflateEnd(&z);
    Bytes f = ns2vq::EncodeFile(site);
    f.resize(48);
    f[30] = 1;
    for (int i = 0; i < 4; ++i) f[36 + i] = static_cast<std::uint8_t>(stream.size() >> (8 * i));
    f.insert(f.end(), stream.begin(), stream.end());
    return FixChecksum(f);
}

TEST(Q70Format, ZlibStreamsWithAndWithoutThePresetDictionary) {
    // Files written before the preset dictionary existed carry none and still
    // read; a stream made against any other dictionary is refused.
    const ns2vq::Q70File site = MixedSite();
    const std::string other = std::string(ns2vq::kQ70Dictionary).substr(1) + "x";
    const struct {
        const char* what;
        std::string dictionary;
        std::uint16_t status;
    } cases[] = {
        {"no dictionary", "", 0},
        {"the format's dictionary", ns2vq::kQ70Dictionary, 0},
        {"another dictionary", other, ns2vq::N2VSTS_FILE_INTEGRITY},
    };
    for (const auto& c : cases) {
        const Bytes file = ZlibFile(site, c.dictionary);
        ns2vq::Q70File back;
        const ns2vq::ReadResult r = ns2vq::ReadFile(file.data(), file.size(), &back);
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.reason;
        if (c.status == 0) ExpectSameFile(site, back);
    }
}

TEST(Q70Format, WriterKeepsTheSmallestStream) {
    // The writer's stream is never larger than zlib's plain default, and a
    // site whose texts the dictionary holds gains from it.
    const ns2vq::Q70File site = MixedSite();
    const Bytes written = ns2vq::EncodeFile(site);
    EXPECT_LE(written.size(), ZlibFile(site, "").size());
    EXPECT_LE(written.size(), ZlibFile(site, ns2vq::kQ70Dictionary).size());
    EXPECT_LT(ZlibFile(site, ns2vq::kQ70Dictionary).size(), ZlibFile(site, "").size());
}

TEST(Q70Format, MixedSiteReadsBackAsWritten) {
    const ns2vq::Q70File site = MixedSite();
    const Bytes bytes = ns2vq::EncodeFile(site);
    ns2vq::Q70File back;
    const ns2vq::ReadResult r = ns2vq::ReadFile(bytes.data(), bytes.size(), &back);
    ASSERT_EQ(r.status, 0) << r.reason;
    ExpectSameFile(site, back);
    EXPECT_EQ(ns2vq::FindSection(back, "00d0a1b2c3d4"), 1);
    EXPECT_EQ(ns2vq::FindSection(back, ""), -1);
}

TEST(Q70Format, SitesOfManyShapesReadBackAsWritten) {
    for (unsigned seed = 0; seed < 200; ++seed) {
        const ns2vq::Q70File site = RandomSite(seed);
        const Bytes bytes = ns2vq::EncodeFile(site);
        ns2vq::Q70File back;
        const ns2vq::ReadResult r = ns2vq::ReadFile(bytes.data(), bytes.size(), &back);
        ASSERT_EQ(r.status, 0) << "seed " << seed << ": " << r.reason;
        ExpectSameFile(site, back);
        if (HasFailure()) FAIL() << "seed " << seed;
    }
}

TEST(Q70Format, TheWriterKnowsThePayloadSizeAfterEveryObject) {
    // The 1 MiB rule is judged on this size, object by object, while runs of
    // devices are still being gathered into copies.
    for (unsigned seed = 0; seed < 40; ++seed) {
        const ns2vq::Q70File site = RandomSite(seed);
        ns2vq::PayloadEncoder enc;
        auto check = [&](const std::string& what) {
            EXPECT_EQ(enc.Size(), enc.Finish().bytes.size()) << "seed " << seed << " after " << what;
        };
        for (const ns2vq::Q70Section& s : site.sections) {
            enc.BeginSection(s.vq, true, true);
            check(s.vq.name);
            for (const auto& d : s.nearDevices) {
                enc.AddDevice(d, ns2vq::RecordType::NearDevice, !d.nvs.empty(), true);
                check(d.name);
            }
            if (s.router) {
                enc.AddRouter(*s.router);
                check(s.router->name);
            }
            for (const auto& d : s.farDevices) {
                enc.AddDevice(d, ns2vq::RecordType::FarDevice, !d.nvs.empty(), true);
                check(d.name);
            }
        }
        if (HasFailure()) FAIL() << "seed " << seed;
    }
}

TEST(Q70Format, FilesOfTheFirstVersionStillRead) {
    // Files written before the record columns: the worked example as that
    // version wrote it, compressed with and without the preset dictionary
    // and stored.
    const char* root = std::getenv("VQ_SOURCE_DIR");
    if (!root) root = NS2VQ_SOURCE_ROOT;
    for (const char* name :
         {"v1-worked-example.q70", "v1-worked-example-no-dictionary.q70", "v1-worked-example-stored.q70"}) {
        std::ifstream in(std::string(root) + "/components/ns2vq/fuzz/corpus/" + name, std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 48u) << name;
        EXPECT_EQ(bytes[4], 1) << name << " is a version 1 file";
        ns2vq::Q70File back;
        const ns2vq::ReadResult r = ns2vq::ReadFile(bytes.data(), bytes.size(), &back);
        ASSERT_EQ(r.status, 0) << name << ": " << r.reason;
        ExpectSameFile(WorkedExample(), back);
    }
}

TEST(Q70Format, WorkedExampleInTheDocs) {
    const char* root = std::getenv("VQ_SOURCE_DIR");
    if (!root) root = NS2VQ_SOURCE_ROOT;
    const std::string doc = std::string(root) + "/docs/q70-format.md";
    EXPECT_EQ(TextBlockOf(doc), std::string(ns2vq::kQ70Dictionary)) << "the preset dictionary";
    const std::vector<Bytes> blocks = HexBlocksOf(doc);
    ASSERT_EQ(blocks.size(), 2u) << "the document shows the payload and the whole file";
    const ns2vq::Q70File example = WorkedExample();
    EXPECT_EQ(ns2vq::EncodePayload(example), blocks[0]);
    EXPECT_EQ(ns2vq::EncodeFile(example), blocks[1]);
    ns2vq::Q70File back;
    ASSERT_EQ(ns2vq::ReadFile(blocks[1].data(), blocks[1].size(), &back).status, 0);
    ExpectSameFile(example, back);
}

TEST(Q70Format, DevicesOfOneTemplateShareTheirLists) {
    // Devices whose NV and CP lists are the same cost their own fields only;
    // devices whose lists all differ carry them each time.
    auto perDevice = [](bool distinctLists) {
        auto payloadWith = [&](int devices) {
            ns2vq::Q70File f;
            ns2vq::Q70Section s;
            s.vq = Vq(1, "VQ", "V", 1);
            for (int i = 0; i < devices; ++i) {
                s.nearDevices.push_back(Device(10 + i, "Dev" + std::to_string(1000 + i), "9000010A01020304",
                                               "L" + std::to_string(i), 1));
                if (distinctLists) s.nearDevices.back().cps[0].defaultValue = std::int32_t{i};
            }
            f.sections.push_back(s);
            return static_cast<double>(ns2vq::EncodePayload(f).size());
        };
        return (payloadWith(1000) - payloadWith(500)) / 500.0;
    };
    EXPECT_LT(perDevice(false) + 4, perDevice(true));
}

TEST(Q70Format, NamesAndLocationsReadBackWhateverTheyCountIn) {
    // Names that count (in decimal or in 0-9A-Z) are stored as differences;
    // everything else, and every limit of that, as text.
    const std::vector<std::vector<std::string>> sequences = {
        {"Fan 8", "Fan 9", "Fan 10", "Fan 11", "Fan 12", "Fan 14", "Fan 16", "Fan 18"},
        {"Dev 007", "Dev 008", "Dev 9", "Dev 0", "Dev 00", "Dev"},
        {"Unit 999999998", "Unit 999999999", "Unit 1000000000", "Unit 1000000001"},
        {"A8", "A9", "AA", "AB", "B0", "ZZZZZZ", "1000000", "-Z", "-10"},
        {"x", "y", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"},
        {"L-1", "L-3", "L-5", "M-7", "M-9", "M-B", "M-D"},
    };
    for (const auto& names : sequences) {
        ns2vq::Q70File f;
        ns2vq::Q70Section s;
        s.vq = Vq(1, "VQ", "V", 1);
        std::uint32_t handle = 2;
        for (const std::string& name : names)
            s.nearDevices.push_back(Device(handle++, name, "9000010A01020304", name, 1));
        f.sections.push_back(s);
        const Bytes bytes = ns2vq::EncodeFile(f);
        ns2vq::Q70File back;
        const ns2vq::ReadResult r = ns2vq::ReadFile(bytes.data(), bytes.size(), &back);
        ASSERT_EQ(r.status, 0) << names.front() << ": " << r.reason;
        ExpectSameFile(f, back);
    }
}

TEST(Q70Format, DamagedFilesAreRefusedWithTheirStatus) {
    const Bytes good = ns2vq::EncodeFile(MixedSite());
    struct Case {
        const char* what;
        std::function<Bytes(Bytes)> damage;
        std::uint16_t status;
    };
    auto at = [](std::size_t offset, std::uint8_t value) {
        return [=](Bytes b) {
            b[offset] = value;
            return b;
        };
    };
    const std::vector<Case> cases = {
        {"empty file", [](Bytes) { return Bytes{}; }, ns2vq::N2VSTS_BAD_HEADER},
        {"shorter than the header", [](Bytes b) { return Bytes(b.begin(), b.begin() + 47); },
         ns2vq::N2VSTS_BAD_HEADER},
        {"magic", at(0, 'X'), ns2vq::N2VSTS_BAD_HEADER},
        {"format version 0", at(4, 0), ns2vq::N2VSTS_BAD_HEADER},
        {"format version 3", at(4, 3), ns2vq::N2VSTS_BAD_HEADER},
        {"header size", at(6, 40), ns2vq::N2VSTS_BAD_HEADER},
        {"creator", at(8, 'x'), ns2vq::N2VSTS_BAD_HEADER},
        {"creator padding", at(19, 'x'), ns2vq::N2VSTS_BAD_HEADER},
        {"method 7", at(30, 7), ns2vq::N2VSTS_BAD_HEADER},
        {"reserved", at(40, 1), ns2vq::N2VSTS_BAD_HEADER},
        {"truncated payload", [](Bytes b) { return Bytes(b.begin(), b.end() - 1); },
         ns2vq::N2VSTS_FILE_INTEGRITY},
        {"trailing byte",
         [](Bytes b) {
             b.push_back(0);
             return b;
         },
         ns2vq::N2VSTS_FILE_INTEGRITY},
        {"payload bit flipped",
         [](Bytes b) {
             b[60] ^= 0x10;
             return b;
         },
         ns2vq::N2VSTS_FILE_CHECKSUM},
        {"major version changed", at(20, 9), ns2vq::N2VSTS_FILE_CHECKSUM},
        {"checksum itself",
         [](Bytes b) {
             b[44] ^= 1;
             return b;
         },
         ns2vq::N2VSTS_FILE_CHECKSUM},
        {"payload size beyond the VQ's memory, checksum fixed",
         [](Bytes b) {
             b[34] = 0x10;
             return FixChecksum(b);
         },
         ns2vq::N2VSTS_FILE_INTEGRITY},
        {"payload size one less, checksum fixed",
         [](Bytes b) {
             b[32] -= 1;
             return FixChecksum(b);
         },
         ns2vq::N2VSTS_FILE_INTEGRITY},
        {"section count in header, checksum fixed",
         [](Bytes b) {
             b[28] = 3;
             return FixChecksum(b);
         },
         ns2vq::N2VSTS_FILE_INTEGRITY},
        {"broken zlib stream, checksum fixed",
         [](Bytes b) {
             b[48] = 0;
             return FixChecksum(b);
         },
         ns2vq::N2VSTS_FILE_INTEGRITY},
    };
    for (const Case& c : cases) {
        const Bytes bad = c.damage(good);
        const ns2vq::ReadResult r = ns2vq::ReadFile(bad.data(), bad.size());
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.reason;
        EXPECT_FALSE(r.reason.empty()) << c.what;
    }
}

void PutVar(Bytes& b, std::uint32_t v) {
    for (; v >= 0x80; v >>= 7) b.push_back(static_cast<std::uint8_t>(v | 0x80));
    b.push_back(static_cast<std::uint8_t>(v));
}

// A payload of the current version written by hand: texts "" and the VQ
// program ID, the given NV lists and no CP lists, one section of `records`
// records keyed by `key` (a string operation), and the record columns: a
// sound VQ record (handle 5, name "V", template "", no Sarvik ID, channel 1,
// no lists) with the changes given.
Bytes CurrentPayload(std::uint32_t records, std::map<std::size_t, Bytes> changes, Bytes key = {0x02},
                     Bytes nvLists = {0x00}) {
    using namespace ns2vq::records;
    std::map<std::size_t, Bytes> columns = {
        {kKinds, {kKindVq}}, {kTemplates, {0x00}},   {kHandles, {0x0A}},   {kNameOps, {0x00, 0x01}},
        {kLiterals, {'V'}},  {kLocationOps, {0x02}}, {kSarvikOps, {0x02}}, {kPrograms, {0x02}},
        {kChannels, {0x02}}, {kNvLists, {0x00}},     {kCpLists, {0x00}}};
    for (auto& [column, bytes] : changes) columns[column] = bytes;
    Bytes p = {0x02, 0x02, 0x00, 0x10};
    for (char c : std::string("900001013C8A0400")) p.push_back(static_cast<std::uint8_t>(c));
    p.insert(p.end(), nvLists.begin(), nvLists.end());
    p.push_back(0x00);  // no CP lists
    p.push_back(0x01);  // one section
    PutVar(p, records);
    p.insert(p.end(), key.begin(), key.end());
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        PutVar(p, static_cast<std::uint32_t>(columns[c].size()));
        p.insert(p.end(), columns[c].begin(), columns[c].end());
    }
    return p;
}

TEST(Q70Format, MalformedPayloadsAreRefusedWithTheirStatus) {
    // Payloads written by hand, stored as they are with a sound checksum, so
    // that only the record parser can object.
    using namespace ns2vq::records;
    const std::uint16_t bad = ns2vq::N2VSTS_FILE_INTEGRITY;
    // The VQ, then a router (handle 2, "R", channels 1 and 2).
    const std::map<std::size_t, Bytes> withRouter = {{kKinds, {kKindVq, kKindRouter}},
                                                     {kRouters, {0x02, 0x02, 0x04}},
                                                     {kNameOps, {0x00, 0x01, 0x00, 0x01}},
                                                     {kLiterals, {'V', 'R'}}};
    auto with = [](std::map<std::size_t, Bytes> base, std::size_t column, Bytes bytes) {
        base[column] = std::move(bytes);
        return base;
    };
    Bytes trailing = CurrentPayload(1, {});
    trailing.push_back(0x00);
    Bytes truncated = CurrentPayload(1, {});
    truncated.pop_back();
    const struct {
        const char* what;
        Bytes payload;
        std::uint16_t status;
    } cases[] = {
        {"sound", CurrentPayload(1, {}), 0},
        {"sound with router", CurrentPayload(2, withRouter), 0},
        {"record kind 9", CurrentPayload(2, {{kKinds, {kKindVq, 9}}}), ns2vq::N2VSTS_UNSUPPORTED_RECORD_TYPE},
        {"record kind 0", CurrentPayload(1, {{kKinds, {0}}}), ns2vq::N2VSTS_UNSUPPORTED_RECORD_TYPE},
        {"section without its VQ first", CurrentPayload(1, {{kKinds, {kKindNear}}}), bad},
        {"router before the VQ", CurrentPayload(2, with(withRouter, kKinds, {kKindRouter, kKindVq})), bad},
        {"two routers",
         CurrentPayload(3, {{kKinds, {kKindVq, kKindRouter, kKindRouter}},
                            {kRouters, {0x02, 0x02, 0x04, 0x04, 0x02, 0x04}},
                            {kNameOps, {0x00, 0x01, 0x00, 0x01, 0x02}},
                            {kLiterals, {'V', 'R'}}}),
         bad},
        {"router handle beyond 16 bits",
         CurrentPayload(2, with(withRouter, kRouters, {0x80, 0x80, 0x04, 0x02, 0x04})), bad},
        {"a copy of the VQ record",
         CurrentPayload(3, {{kKinds, {kKindVq, kKindCopy}}, {kCopies, {0x00, 0x00}}}), bad},
        {"a copy reaching back too far",
         CurrentPayload(4, {{kKinds, {kKindVq, kKindRouter, kKindCopy}},
                            {kCopies, {0x05, 0x00}},
                            {kRouters, {0x02, 0x02, 0x04}},
                            {kNameOps, {0x00, 0x01, 0x00, 0x01}},
                            {kLiterals, {'V', 'R'}}}),
         bad},
        {"a copy longer than its section",
         CurrentPayload(2, {{kKinds, {kKindVq, kKindCopy}}, {kCopies, {0x00, 0x00}}}), bad},
        {"fewer kinds than records", CurrentPayload(2, {}), bad},
        {"a recent list the template never used", CurrentPayload(1, {{kNvLists, {0x02}}}), bad},
        {"a list index beyond the table", CurrentPayload(1, {{kNvLists, {0x01}}, {kListIndices, {0x00}}}),
         bad},
        {"a program ID beyond the text table", CurrentPayload(1, {{kPrograms, {0x04}}}), bad},
        {"a template beyond the text table", CurrentPayload(1, {{kTemplates, {0x02}}}), bad},
        {"counting on from a name without a number",
         CurrentPayload(1, {{kNameOps, {0x01}}, {kNameNumbers, {0x02}}, {kLiterals, {}}}), bad},
        {"sharing more than the reference has", CurrentPayload(1, {{kNameOps, {0x0C, 0x01}}}), bad},
        {"a literal longer than the literals", CurrentPayload(1, {{kNameOps, {0x00, 0x02}}}), bad},
        {"bytes left in a column", CurrentPayload(1, {{kHandles, {0x0A, 0x00}}}), bad},
        {"directory key differs from the VQ", CurrentPayload(1, {}, {0x00, 0x01, 'X'}), bad},
        {"section of no records", CurrentPayload(0, {}), bad},
        {"bytes after the last column", trailing, bad},
        {"truncated last column", truncated, bad},
        {"empty payload", Bytes{}, bad},
        {"huge text count", Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, bad},
        {"varint longer than 5 bytes", Bytes{0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, bad},
    };
    for (const auto& c : cases) {
        const Bytes file = StoredFile(c.payload, 1);
        const ns2vq::ReadResult r = ns2vq::ReadFile(file.data(), file.size());
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.reason;
    }
}

TEST(Q70Format, ExpansionByCopiesIsBounded) {
    // A few bytes of copies may repeat a huge list or a long name for every
    // object a VQ holds; the reader stops at its limits instead.
    using namespace ns2vq::records;
    // The VQ with NV list 0, a near device with the same list (the template's
    // most recent) and the given name operation, and a copy of that device.
    auto payload = [](std::uint32_t copies, Bytes nameOp, Bytes literals, Bytes nvLists) {
        Bytes copy = {0x00};
        PutVar(copy, copies - 2);
        Bytes nameOps = {0x00, 0x01};
        nameOps.insert(nameOps.end(), nameOp.begin(), nameOp.end());
        return CurrentPayload(2 + copies,
                              {{kKinds, {kKindVq, kKindNear, kKindCopy}},
                               {kCopies, copy},
                               {kTemplates, {0x00, 0x00}},
                               {kHandles, {0x0A, 0x02}},
                               {kNameOps, nameOps},
                               {kLiterals, literals},
                               {kLocationOps, {0x02, 0x02}},
                               {kSarvikOps, {0x02, 0x02}},
                               {kPrograms, {0x02, 0x00}},
                               {kChannels, {0x02, 0x00}},
                               {kNvLists, {0x01, 0x02}},
                               {kListIndices, {0x00}},
                               {kCpLists, {0x00, 0x00}}},
                              {0x02}, nvLists);
    };
    Bytes hugeList = {0x01};
    PutVar(hugeList, 100000);  // entries of index 0, name text 0, type text 0
    for (int i = 0; i < 100000; ++i) hugeList.insert(hugeList.end(), {0x00, 0x00, 0x00});
    Bytes longName = {'V'};
    longName.insert(longName.end(), 60000, 'n');
    Bytes longNameOp = {0x00};
    PutVar(longNameOp, 60000);
    const Bytes oneList = {0x01, 0x00};
    const struct {
        const char* what;
        Bytes payload;
        std::uint16_t status;
    } cases[] = {
        {"a short list copied", payload(40, {0x02}, {'V'}, oneList), 0},
        {"a huge list copied", payload(40, {0x02}, {'V'}, hugeList), ns2vq::N2VSTS_FILE_INTEGRITY},
        {"a long name copied", payload(5000, longNameOp, longName, oneList), ns2vq::N2VSTS_FILE_INTEGRITY},
    };
    for (const auto& c : cases) {
        const Bytes file = StoredFile(c.payload, 1);
        const ns2vq::ReadResult r = ns2vq::ReadFile(file.data(), file.size());
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.reason;
    }
}

TEST(Q70Format, MalformedFirstVersionPayloadsAreRefusedWithTheirStatus) {
    // Payloads of format version 1 written by hand, stored as they are with a
    // sound checksum, so that only the record parser can object.
    // names: "V"; texts: "" and "900001013C8A0400"; no lists.
    const Bytes tables = {0x01, 0x00, 0x01, 'V', 0x02, 0x00, 0x00, 0x00, 0x10, '9', '0', '0',  '0', '0',
                          '1',  '0',  '1',  '3', 'C',  '8',  'A',  '0',  '4',  '0', '0', 0x00, 0x00};
    // VQ record (differences from zero, zigzag): handle 5, name 0, program ID 1, location 0,
    // Sarvik 0, channel 1, template 0, no lists.
    const Bytes vqBody = {0x0A, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00};
    // A near device: handle +1, program ID text 1 again, the rest the same.
    const Bytes nearBody = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    auto record = [](std::uint8_t type, Bytes body) {
        body.insert(body.begin(), {type, static_cast<std::uint8_t>(body.size())});
        return body;
    };
    auto payload = [&](const std::vector<Bytes>& records, int directoryHandle = 5) {
        Bytes recs;
        for (const Bytes& r : records) recs.insert(recs.end(), r.begin(), r.end());
        Bytes p = tables;
        p.push_back(0x01);  // one section
        Bytes dir = {static_cast<std::uint8_t>(directoryHandle), 0x00, 0x00, 0x00, 0x02,
                     static_cast<std::uint8_t>(recs.size())};
        p.insert(p.end(), dir.begin(), dir.end());
        p.insert(p.end(), recs.begin(), recs.end());
        return p;
    };
    const Bytes router = {0x03, 0x00, 0x02, 0x04};
    struct Case {
        const char* what;
        Bytes payload;
        std::uint16_t status;
    };
    Bytes vqWithNvList = vqBody;
    vqWithNvList[7] = 0x01;  // NV list 0, but the table is empty
    Bytes longBody = vqBody;
    longBody.push_back(0x00);
    Bytes stringOverrun = payload({record(1, vqBody)});
    stringOverrun[1] = 5 << 2;  // the first name shares 5 bytes with no previous string
    Bytes numberFirst = payload({record(1, vqBody)});
    numberFirst[1] = 0x01;  // the first name counts on from a previous string that has no number
    Bytes repeatFirst = payload({record(1, vqBody)});
    repeatFirst[1] = 0x02;  // a run of number entries with no number entry before it
    const std::vector<Case> cases = {
        {"sound", payload({record(1, vqBody)}), 0},
        {"sound with router", payload({record(1, vqBody), record(3, router)}), 0},
        {"record type 9", payload({record(1, vqBody), record(9, {0x00})}),
         ns2vq::N2VSTS_UNSUPPORTED_RECORD_TYPE},
        {"record type 0", payload({record(1, vqBody), record(0, {})}), ns2vq::N2VSTS_UNSUPPORTED_RECORD_TYPE},
        {"section without its VQ first", payload({record(2, vqBody)}), ns2vq::N2VSTS_FILE_INTEGRITY},
        {"two VQ records", payload({record(1, vqBody), record(1, vqBody)}), ns2vq::N2VSTS_FILE_INTEGRITY},
        {"two routers", payload({record(1, vqBody), record(3, router), record(3, router)}),
         ns2vq::N2VSTS_FILE_INTEGRITY},
        {"key differs from the VQ", payload({record(1, vqBody)}, 6), ns2vq::N2VSTS_FILE_INTEGRITY},
        {"list index out of range", payload({record(1, vqWithNvList)}), ns2vq::N2VSTS_FILE_INTEGRITY},
        {"body longer than its fields", payload({record(1, longBody)}), ns2vq::N2VSTS_FILE_INTEGRITY},
        {"front coding beyond the previous string", stringOverrun, ns2vq::N2VSTS_FILE_INTEGRITY},
        {"empty payload", Bytes{}, ns2vq::N2VSTS_FILE_INTEGRITY},
        {"huge count", Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, ns2vq::N2VSTS_FILE_INTEGRITY},
        {"varint longer than 5 bytes", Bytes{0x80, 0x80, 0x80, 0x80, 0x80, 0x01},
         ns2vq::N2VSTS_FILE_INTEGRITY},
    };
    for (const Case& c : cases) {
        const Bytes file = StoredFile(c.payload, 1, 1);
        const ns2vq::ReadResult r = ns2vq::ReadFile(file.data(), file.size());
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.reason;
    }
}

TEST(Q70Format, EveryDamagedByteOrLengthIsRefusedWithoutFault) {
    // Each single-byte change and each truncation, with the checksum put
    // right so that the change reaches the payload parser. Nothing may crash
    // (run under the sanitizers) and the status is one of the reader's.
    ns2vq::Q70File site = MixedSite();
    const Bytes payload = ns2vq::EncodePayload(site);
    const Bytes good = StoredFile(payload, 2);
    ASSERT_EQ(ns2vq::ReadFile(good.data(), good.size()).status, 0);
    std::mt19937 random(7);
    int refused = 0;
    for (std::size_t i = 48; i < good.size(); ++i) {
        for (int trial = 0; trial < 4; ++trial) {
            Bytes bad = good;
            bad[i] ^= static_cast<std::uint8_t>(1 + random() % 255);
            bad = FixChecksum(bad);
            ns2vq::Q70File out;
            const std::uint16_t s = ns2vq::ReadFile(bad.data(), bad.size(), &out).status;
            EXPECT_TRUE(s == 0 || s == ns2vq::N2VSTS_FILE_INTEGRITY ||
                        s == ns2vq::N2VSTS_UNSUPPORTED_RECORD_TYPE)
                << "byte " << i << " status " << s;
            refused += s != 0;
        }
    }
    // Most changes break a record; some (a changed letter in a name) do not.
    EXPECT_GT(refused, static_cast<int>(good.size() - 48));
    for (std::size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(ns2vq::ReadFile(cut.data(), cut.size()).status, 0) << "cut at " << n;
    }
}

TEST(Q70Format, ExpansionOfSharedListsIsBounded) {
    // A few bytes may name one huge NV list from many records; the reader
    // refuses before building more than its limit.
    Bytes p = {0x01, 0x00, 0x01, 'V', 0x02, 0x00, 0x00, 0x00, 0x10};
    for (char c : std::string("900001013C8A0400")) p.push_back(static_cast<std::uint8_t>(c));
    // One NV list of 100,000 entries (index 0, name text 0, type text 0).
    p.push_back(0x01);
    p.push_back(0xA0);
    p.push_back(0x8D);
    p.push_back(0x06);
    for (int i = 0; i < 100000; ++i) p.insert(p.end(), {0x00, 0x00, 0x00});
    p.push_back(0x00);  // no CP lists
    const Bytes vq = {0x01, 0x09, 0x0A, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00};
    // Near devices, each one the next handle; not stored as a repeat so that
    // every record is parsed on its own.
    const Bytes near = {0x02, 0x09, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
    Bytes records = vq;
    for (int i = 0; i < 40; ++i) records.insert(records.end(), near.begin(), near.end());
    p.push_back(0x01);
    p.insert(p.end(), {0x05, 0x00, 0x00, 0x00, 0x02});
    for (std::uint32_t v = static_cast<std::uint32_t>(records.size());; v >>= 7) {
        if (v < 0x80) {
            p.push_back(static_cast<std::uint8_t>(v));
            break;
        }
        p.push_back(static_cast<std::uint8_t>(v | 0x80));
    }
    p.insert(p.end(), records.begin(), records.end());
    const Bytes file = StoredFile(p, 1, 1);
    const ns2vq::ReadResult r = ns2vq::ReadFile(file.data(), file.size());
    EXPECT_EQ(r.status, ns2vq::N2VSTS_FILE_INTEGRITY) << r.reason;
}

}  // namespace
