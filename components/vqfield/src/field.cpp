#include "vqfield/field.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "qpicg/vm.h"
#include "vqfield/apb.h"

namespace vqfield {

std::chrono::nanoseconds WireTime(std::size_t bytes, std::uint64_t bitsPerSecond) {
    if (bitsPerSecond == 0) return std::chrono::nanoseconds(0);
    const std::size_t frames = std::max<std::size_t>(1, (bytes + kFramePayload - 1) / kFramePayload);
    const long double bits = (long double)(bytes + frames * kFrameOverhead) * 8.0L;
    return std::chrono::nanoseconds((long long)(bits * 1e9L / (long double)bitsPerSecond));
}

namespace detail {

struct Unit {
    std::string sarvikId;
    std::string programId;
    int channel = 1;
    bool configured = false;
    bool commissioned = false;
    bool defaultsLoaded = false;
    int state = 12;
    int winks = 0;
    bool nodeEnabled = true;
    int imageLoads = 0;
    Bytes image, eventList, program, database;
    bool databaseChecked = false;
    Field::Faults faults;
    // The program the unit runs: none until one is received with kind 8.
    // Its clock follows the field's (steady) clock from the moment it was
    // loaded, plus whatever `advance` added.
    std::unique_ptr<qpvm::Machine> machine;
    std::chrono::steady_clock::time_point machineTick;
};

struct Transfer {
    std::string sarvikId;
    int kind = 0;
    Bytes received;
};

struct FieldState {
    std::mutex mutex;
    std::map<std::string, Unit> units;
    std::map<int, std::uint64_t> rates{{1, 0}};
    std::map<std::uint32_t, Transfer> transfers;
    std::uint32_t nextTransfer = 1;
    std::uint64_t nextSarvik = 0x04A100000001ull;
    int answerTimeoutMs = 1000;
    std::map<int, Field::EventSink> sinks;
    int nextSink = 1;
};

}  // namespace detail

namespace {

using detail::FieldState;
using detail::Transfer;
using detail::Unit;
using Clock = std::chrono::steady_clock;

// Waits in short slices so progress keeps flowing and a cancel is seen quickly.
void Wait(std::chrono::nanoseconds d, const CallOptions& opts) {
    const auto deadline = Clock::now() + d;
    auto lastProgress = Clock::now();
    for (;;) {
        if (opts.cancel && opts.cancel->load())
            throw FieldError(Code::Aborted, "The transfer was cancelled.");
        const auto now = Clock::now();
        if (now >= deadline) break;
        std::this_thread::sleep_for(
            std::min<std::chrono::nanoseconds>(deadline - now, std::chrono::milliseconds(20)));
        if (opts.progress && Clock::now() - lastProgress >= std::chrono::milliseconds(20)) {
            opts.progress();
            lastProgress = Clock::now();
        }
    }
}

Json BlobJson(const Bytes& b) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08X", b.empty() ? 0u : Crc32(b.data(), b.size()));
    return Json{{"size", b.size()}, {"crc32", crc}};
}

// Moves a unit's program clock on to the field's clock, running the timers
// that fell due meanwhile (at most the machine's bound per call; the rest
// run on the next).
void Tick(Unit& u) {
    if (!u.machine) return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - u.machineTick);
    if (ms.count() <= 0) return;
    u.machine->Advance(std::uint64_t(ms.count()));
    u.machineTick += ms;
}

// Hands one event to the unit's program, if it has one; whether a handler ran.
bool Deliver(Unit& u, qpx::EventKind kind, std::uint16_t code = 0) {
    if (!u.machine) return false;
    Tick(u);
    return u.machine->Handle({kind, code});
}

// The program's state for status reports; null when the unit never received one.
Json ProgramJson(const Unit& u) {
    if (!u.machine) return nullptr;
    Json st = Json::parse(u.machine->StateJson(), nullptr, false);
    if (!st.is_object()) st = Json::object();
    st["empty"] = u.machine->program().Empty();
    st["clockMs"] = u.machine->now();
    return st;
}

const char* KindName(int kind) {
    switch (kind) {
        case 4:
            return "event list";
        case 5:
            return "database";
        case 8:
            return "interpreted program";
        default:
            return "file";
    }
}

// The arguments of a request, as docs/wire.md lists them. A request whose
// arguments are of the wrong type or out of range is refused before it runs.
enum class Type { Text, Int, Bool };
struct Arg {
    const char* name;
    Type type;
    bool required = false;
    std::int64_t min = 0, max = 0;  // for Int
};

constexpr std::int64_t kInt32Max = 2147483647;
constexpr std::int64_t kInt64Max = 9223372036854775807;
const Arg kSarvikId{"sarvikId", Type::Text, true};
const Arg kChannel{"channel", Type::Int, false, 1, 65535};
const Arg kTransferId{"transferId", Type::Int, true, 0, 4294967295};

void CheckArg(const Json& req, const Arg& a) {
    const auto it = req.find(a.name);
    const std::string name = std::string("\"") + a.name + "\"";
    if (it == req.end()) {
        if (a.required) throw FieldError(Code::BadValue, name + " is missing.");
        return;
    }
    switch (a.type) {
        case Type::Text:
            if (!it->is_string()) throw FieldError(Code::BadValue, name + " must be a text.");
            return;
        case Type::Bool:
            if (!it->is_boolean()) throw FieldError(Code::BadValue, name + " must be true or false.");
            return;
        case Type::Int: {
            const bool fits =
                it->is_number_integer() &&
                !(it->is_number_unsigned() && it->get<std::uint64_t>() > std::uint64_t(kInt64Max)) &&
                it->get<std::int64_t>() >= a.min && it->get<std::int64_t>() <= a.max;
            if (!fits)
                throw FieldError(Code::BadValue, name + " must be an integer from " + std::to_string(a.min) +
                                                     " to " + std::to_string(a.max) + ".");
            return;
        }
    }
}

// One request in progress: the field's lock (held, except while the request
// waits for the wire) and what the operations share.
class Request {
public:
    Request(FieldState& s, const Json& req, const Bytes& in, Bytes* out, const CallOptions& opts)
        : s(s), lock(s.mutex), req(req), in(in), out(out), opts(opts) {}

    // Arguments, already checked against the operation's list.
    std::string Text(const char* key, const std::string& def = {}) const {
        return req.contains(key) ? req[key].get<std::string>() : def;
    }
    std::int64_t Int(const char* key, std::int64_t def = 0) const {
        return req.contains(key) ? req[key].get<std::int64_t>() : def;
    }
    bool Flag(const char* key, bool def) const { return req.contains(key) ? req[key].get<bool>() : def; }

    Json UnitJson(const Unit& u) const {
        Json db = BlobJson(u.database);
        db["checked"] = u.databaseChecked;
        Json el = BlobJson(u.eventList);
        el["records"] = u.eventList.size() / 34;
        return Json{{"sarvikId", u.sarvikId},
                    {"programId", u.programId},
                    {"channel", u.channel},
                    {"configured", u.configured},
                    {"commissioned", u.commissioned},
                    {"defaultsLoaded", u.defaultsLoaded},
                    {"state", u.state},
                    {"winks", u.winks},
                    {"nodeEnabled", u.nodeEnabled},
                    {"imageLoads", u.imageLoads},
                    {"image", BlobJson(u.image)},
                    {"eventList", el},
                    {"program", BlobJson(u.program)},
                    {"database", db},
                    {"programState", ProgramJson(u)},
                    {"faults",
                     {{"failImageLoads", u.faults.failImageLoads},
                      {"busyDbDownloads", u.faults.busyDbDownloads},
                      {"silent", u.faults.silent},
                      {"refuseCommission", u.faults.refuseCommission},
                      {"dropAfterBytes", u.faults.dropAfterBytes}}}};
    }
    std::uint64_t Rate(int channel) const {
        auto it = s.rates.find(channel);
        return it == s.rates.end() ? 0 : it->second;
    }
    Unit& AdminUnit(const std::string& id) {
        auto it = s.units.find(Upper(id));
        if (it == s.units.end())
            throw FieldError(Code::NotFound, "No VQ with Sarvik ID " + id + " on the field.");
        return it->second;
    }
    // A unit that is absent or silent costs the caller the answer timeout, as on a real wire.
    Unit& Reach(const std::string& id) {
        if (!IsSarvikIdText(id)) throw FieldError(Code::BadValue, "Not a Sarvik ID: \"" + id + "\"");
        auto it = s.units.find(Upper(id));
        if (it == s.units.end() || it->second.faults.silent) {
            const auto timeout = std::chrono::milliseconds(s.answerTimeoutMs);
            lock.unlock();
            Wait(timeout, opts);
            throw FieldError(Code::NoAnswer, "The VQ with Sarvik ID " + Upper(id) + " did not answer.");
        }
        return it->second;
    }
    // Puts `bytes` on the unit's channel, dropping the link if the unit is set to.
    // Returns with the lock held again; the unit must be looked up afresh after.
    void Send(const std::string& id, std::size_t already, std::size_t bytes) {
        Unit& u = s.units.at(Upper(id));
        const std::uint64_t r = Rate(u.channel);
        std::int64_t drop = u.faults.dropAfterBytes;
        bool dropNow = drop >= 0 && std::int64_t(already + bytes) > drop;
        if (dropNow) u.faults.dropAfterBytes = -1;
        const std::size_t sent =
            dropNow ? std::size_t(std::max<std::int64_t>(0, drop - std::int64_t(already))) : bytes;
        lock.unlock();
        Wait(WireTime(sent, r), opts);
        lock.lock();
        if (dropNow)
            throw FieldError(Code::Aborted, "The link to the VQ with Sarvik ID " + Upper(id) +
                                                " dropped during the transfer.");
        if (!s.units.count(Upper(id)))
            throw FieldError(Code::NoAnswer, "The VQ with Sarvik ID " + Upper(id) + " did not answer.");
    }
    // The unit of a unit operation, reached over the wire with an empty frame.
    Unit& Exchange() {
        const std::string id = Text("sarvikId");
        Reach(id);
        Send(id, 0, 0);
        return s.units.at(Upper(id));
    }

    FieldState& s;
    std::unique_lock<std::mutex> lock;
    const Json& req;
    const Bytes& in;
    Bytes* out;
    const CallOptions& opts;
};

// Field administration: no wire time.

Json Hello(Request&) {
    return {{"field", "vqfield"}, {"version", 1}};
}

Json Status(Request& r) {
    Json units = Json::array();
    for (auto& [id, u] : r.s.units) {
        Tick(u);
        units.push_back(r.UnitJson(u));
    }
    Json channels = Json::array();
    for (auto& [id, rate] : r.s.rates) channels.push_back({{"id", id}, {"bitsPerSecond", rate}});
    return {{"units", units}, {"channels", channels}, {"answerTimeoutMs", r.s.answerTimeoutMs}};
}

Json Inspect(Request& r) {
    Unit& u = r.AdminUnit(r.Text("sarvikId"));
    Tick(u);
    if (r.out) {
        r.out->clear();
        for (const Bytes* b : {&u.image, &u.eventList, &u.program, &u.database})
            r.out->insert(r.out->end(), b->begin(), b->end());
    }
    return r.UnitJson(u);
}

Json Add(Request& r) {
    const std::string programId = Upper(r.Text("programId", kVq70ProgramId));
    if (!IsProgramIdText(programId))
        throw FieldError(Code::BadValue, "Not a program ID: \"" + programId + "\"");
    std::string id = Upper(r.Text("sarvikId"));
    if (id.empty()) {
        do {
            char buf[13];
            std::snprintf(buf, sizeof buf, "%012llX", (unsigned long long)r.s.nextSarvik++);
            id = buf;
        } while (r.s.units.count(id));
    }
    if (!IsSarvikIdText(id)) throw FieldError(Code::BadValue, "Not a Sarvik ID: \"" + id + "\"");
    if (r.s.units.count(id))
        throw FieldError(Code::BadValue, "A VQ with Sarvik ID " + id + " is already on the field.");
    Unit u;
    u.sarvikId = id;
    u.programId = programId;
    u.channel = int(r.Int("channel", 1));
    r.s.rates.emplace(u.channel, 0);
    r.s.units[id] = std::move(u);
    return {{"sarvikId", id}};
}

Json Remove(Request& r) {
    r.AdminUnit(r.Text("sarvikId"));
    r.s.units.erase(Upper(r.Text("sarvikId")));
    return Json::object();
}

Json Break(Request& r) {
    Field::Faults& f = r.AdminUnit(r.Text("sarvikId")).faults;
    f.failImageLoads = int(r.Int("failImageLoads", f.failImageLoads));
    f.busyDbDownloads = int(r.Int("busyDbDownloads", f.busyDbDownloads));
    f.silent = r.Flag("silent", f.silent);
    f.refuseCommission = r.Flag("refuseCommission", f.refuseCommission);
    f.dropAfterBytes = r.Int("dropAfterBytes", f.dropAfterBytes);
    return Json::object();
}

Json Repair(Request& r) {
    r.AdminUnit(r.Text("sarvikId")).faults = Field::Faults{};
    return Json::object();
}

Json SetRate(Request& r) {
    r.s.rates[int(r.Int("channel", 1))] = std::uint64_t(r.Int("bitsPerSecond"));
    return Json::object();
}

Json Settings(Request& r) {
    r.s.answerTimeoutMs = int(r.Int("answerTimeoutMs", r.s.answerTimeoutMs));
    return Json::object();
}

Json Pin(Request& r) {
    Unit& u = r.AdminUnit(r.Text("sarvikId"));
    Json ev{{"event", "servicePin"},
            {"sarvikId", u.sarvikId},
            {"programId", u.programId},
            {"channel", u.channel},
            {"subnet", 0},
            {"node", 0},
            {"flags", u.configured ? 1 : 0}};
    Deliver(u, qpx::EventKind::Pin);
    std::vector<Field::EventSink> sinks;
    for (auto& [t, sink] : r.s.sinks) sinks.push_back(sink);
    r.lock.unlock();
    for (auto& sink : sinks) sink(ev);
    return Json::object();
}

// Unit operations: they travel on the wire.

Json Ping(Request& r) {
    return {{"programId", r.Exchange().programId}};
}

Json Discover(Request& r) {
    std::size_t answering = 0;
    Json units = Json::array();
    for (auto& [id, u] : r.s.units)
        if (!u.faults.silent) {
            ++answering;
            if (!u.configured)
                units.push_back(
                    {{"sarvikId", u.sarvikId}, {"programId", u.programId}, {"channel", u.channel}});
        }
    const std::uint64_t rate = r.Rate(1);
    r.lock.unlock();
    Wait(WireTime(answering * 16, rate), r.opts);
    return {{"units", units}};
}

Json LoadImage(Request& r) {
    const std::string id = r.Text("sarvikId");
    r.Reach(id);
    r.Send(id, 0, r.in.size());
    Unit& v = r.s.units.at(Upper(id));
    if (v.faults.failImageLoads > 0) {
        --v.faults.failImageLoads;
        throw FieldError(Code::Refused,
                         "The VQ with Sarvik ID " + v.sarvikId + " failed to load the application image.");
    }
    ApbInfo info;
    const std::string why = CheckApb(r.in, &info);
    if (!why.empty()) throw FieldError(Code::Refused, "The VQ refused the application image: " + why + ".");
    v.image = r.in;
    v.programId = info.programId;
    v.configured = v.commissioned = v.defaultsLoaded = false;
    v.state = 12;
    ++v.imageLoads;
    return Json::object();
}

Json LoadDefaults(Request& r) {
    Unit& v = r.Exchange();
    if (v.image.empty())
        throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " has no application image.");
    v.defaultsLoaded = true;
    return Json::object();
}

Json Commission(Request& r) {
    Unit& v = r.Exchange();
    if (v.faults.refuseCommission)
        throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " refused commissioning.");
    if (v.image.empty())
        throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " has no application image.");
    v.configured = v.commissioned = true;
    Deliver(v, qpx::EventKind::Commission);
    return Json::object();
}

Json GetState(Request& r) {
    return {{"state", r.Exchange().state}};
}

Json SetState(Request& r) {
    const std::string id = r.Text("sarvikId");
    r.Reach(id);
    const int st = int(r.Int("state"));
    if (st != 4 && st != 12) throw FieldError(Code::BadValue, "Unknown state " + std::to_string(st) + ".");
    r.Send(id, 0, 0);
    Unit& v = r.s.units.at(Upper(id));
    if (!v.commissioned)
        throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " is not commissioned.");
    v.state = st;
    return Json::object();
}

Json Wink(Request& r) {
    ++r.Exchange().winks;
    return Json::object();
}

Json FbCount(Request& r) {
    r.Reach(r.Text("sarvikId"));
    return {{"count", 1}};
}

Json Fb(Request& r, bool set) {
    const std::string id = r.Text("sarvikId");
    r.Reach(id);
    if (r.Int("index") != 1)
        throw FieldError(Code::NotFound, "No functional block " + std::to_string(r.Int("index")) + ".");
    r.Send(id, 0, 0);
    Unit& v = r.s.units.at(Upper(id));
    if (set) v.nodeEnabled = r.Int("disabled") == 0;
    return {{"disabled", v.nodeEnabled ? 0 : 1}};
}
Json GetFb(Request& r) {
    return Fb(r, false);
}
Json SetFb(Request& r) {
    return Fb(r, true);
}

Json OpenTransfer(Request& r) {
    const std::string id = r.Text("sarvikId");
    const int kind = int(r.Int("kind"));
    Unit& u = r.Reach(id);
    if (kind != 4 && kind != 5 && kind != 8)
        throw FieldError(Code::BadValue, "Unknown file kind " + std::to_string(kind) + ".");
    if (!u.configured)
        throw FieldError(Code::Refused, "The VQ with Sarvik ID " + u.sarvikId + " is not commissioned.");
    r.Send(id, 0, 0);
    const std::uint32_t tid = r.s.nextTransfer++;
    r.s.transfers[tid] = Transfer{Upper(id), kind, {}};
    return {{"transferId", tid}};
}

// The open transfer a write, close or abort names.
std::map<std::uint32_t, Transfer>::iterator OpenOne(Request& r) {
    const auto tid = std::uint32_t(r.Int("transferId"));
    auto it = r.s.transfers.find(tid);
    if (it == r.s.transfers.end())
        throw FieldError(Code::NotFound, "No open transfer " + std::to_string(tid) + ".");
    return it;
}

Json Write(Request& r) {
    auto it = OpenOne(r);
    const std::uint32_t tid = it->first;
    const std::string id = it->second.sarvikId;
    Unit& u = r.Reach(id);
    if (it->second.kind == 5 && u.faults.busyDbDownloads > 0) {
        --u.faults.busyDbDownloads;
        r.Send(id, 0, 0);
        throw FieldError(Code::Busy, "The VQ with Sarvik ID " + id + " is busy; try again.");
    }
    const std::size_t already = it->second.received.size();
    r.Send(id, already, r.in.size());  // a dropped chunk is not kept; the transfer stays open
    auto again = r.s.transfers.find(tid);
    if (again == r.s.transfers.end()) throw FieldError(Code::Aborted, "The transfer was aborted.");
    again->second.received.insert(again->second.received.end(), r.in.begin(), r.in.end());
    return {{"received", again->second.received.size()}};
}

// The unit checks the whole file before it keeps it.
Json Close(Request& r) {
    auto it = OpenOne(r);
    const std::string id = it->second.sarvikId;
    const int kind = it->second.kind;
    r.Reach(id);
    Bytes data = std::move(it->second.received);
    r.s.transfers.erase(it);
    r.Send(id, 0, 0);
    Unit& v = r.s.units.at(id);
    std::string why;
    qpx::Program program;
    if (data.empty())
        why = "it is empty";
    else if (kind == 4 && data.size() % 34 != 0)
        why = "its length " + std::to_string(data.size()) + " is not a whole number of 34-byte records";
    else if (kind == 8 && data.size() > 64 * 1024)
        why = "it is larger than the program memory";
    else if (kind == 8 && !qpx::Load(data.data(), data.size(), &program, &why) && why.empty())
        why = "it is not a valid program";  // Load names the fault; this is a safety net
    else if (kind == 5)
        why = CheckQ70(data);
    if (!why.empty())
        throw FieldError(Code::Refused,
                         std::string("The VQ refused the ") + KindName(kind) + ": " + why + ".");
    if (kind == 4)
        v.eventList = std::move(data);
    else if (kind == 8) {
        // A program that passed the check replaces the old one and starts.
        v.program = std::move(data);
        v.machine = std::make_unique<qpvm::Machine>(std::move(program));
        v.machineTick = Clock::now();
        Deliver(v, qpx::EventKind::Start);
    } else {
        v.database = std::move(data);
        v.databaseChecked = true;
    }
    return Json::object();
}

// The program's events that come from the unit itself (its event list) or
// from the network, and its clock.

Json RaiseEvent(Request& r) {
    Unit& v = r.Exchange();
    return {{"handled", Deliver(v, qpx::EventKind::Event, std::uint16_t(r.Int("code")))}};
}

Json WriteInput(Request& r) {
    Unit& v = r.Exchange();
    const std::string name = r.Text("name");
    Tick(v);
    if (!v.machine || !v.machine->WriteInput(name, std::int32_t(r.Int("value"))))
        throw FieldError(Code::NotFound, "The program of the VQ with Sarvik ID " + v.sarvikId +
                                             " has no input network variable \"" + name + "\".");
    return Json::object();
}

Json AdvanceClock(Request& r) {
    Unit& u = r.AdminUnit(r.Text("sarvikId"));
    if (!u.machine) return {{"clockMs", nullptr}};
    Tick(u);
    u.machine->Advance(std::uint64_t(r.Int("ms")));
    return {{"clockMs", u.machine->now()}};
}

Json Abort(Request& r) {
    r.s.transfers.erase(OpenOne(r));
    return Json::object();
}

struct Op {
    const char* name;
    std::vector<Arg> args;
    Json (*run)(Request&);
};

// The operations, grouped as in docs/wire.md. subscribe, unsubscribe and
// cancel belong to a connection and are answered by the daemon itself.
const std::vector<Op>& Ops() {
    static const std::vector<Op> ops = {
        // Field administration
        {"hello", {}, Hello},
        {"status", {}, Status},
        {"inspect", {kSarvikId}, Inspect},
        {"add", {{"programId", Type::Text}, kChannel, {"sarvikId", Type::Text}}, Add},
        {"remove", {kSarvikId}, Remove},
        {"break",
         {kSarvikId,
          {"failImageLoads", Type::Int, false, 0, kInt32Max},
          {"busyDbDownloads", Type::Int, false, 0, kInt32Max},
          {"silent", Type::Bool},
          {"refuseCommission", Type::Bool},
          {"dropAfterBytes", Type::Int, false, -1, kInt64Max}},
         Break},
        {"repair", {kSarvikId}, Repair},
        {"rate", {kChannel, {"bitsPerSecond", Type::Int, true, 0, kInt64Max}}, SetRate},
        {"settings", {{"answerTimeoutMs", Type::Int, false, 1, 60000}}, Settings},
        {"pin", {kSarvikId}, Pin},
        {"advance", {kSarvikId, {"ms", Type::Int, true, 0, kInt32Max}}, AdvanceClock},
        // Unit operations
        {"ping", {kSarvikId}, Ping},
        {"discover", {}, Discover},
        {"loadImage", {kSarvikId}, LoadImage},
        {"loadDefaults", {kSarvikId, {"how", Type::Int, false, 0, kInt32Max}}, LoadDefaults},
        {"commission", {kSarvikId}, Commission},
        {"getState", {kSarvikId}, GetState},
        {"setState", {kSarvikId, {"state", Type::Int, true, 0, kInt32Max}}, SetState},
        {"wink", {kSarvikId}, Wink},
        {"fbCount", {kSarvikId}, FbCount},
        {"getFb", {kSarvikId, {"index", Type::Int, true, 0, kInt32Max}}, GetFb},
        {"setFb",
         {kSarvikId, {"index", Type::Int, true, 0, kInt32Max}, {"disabled", Type::Int, true, 0, 1}},
         SetFb},
        {"openTransfer", {kSarvikId, {"kind", Type::Int, true, 0, kInt32Max}}, OpenTransfer},
        {"write", {kTransferId}, Write},
        {"close", {kTransferId}, Close},
        {"abort", {kTransferId}, Abort},
        {"event", {kSarvikId, {"code", Type::Int, true, 0, 65535}}, RaiseEvent},
        {"writeInput",
         {kSarvikId, {"name", Type::Text, true}, {"value", Type::Int, true, -kInt32Max - 1, kInt32Max}},
         WriteInput},
    };
    return ops;
}

}  // namespace

Field::Field() : state_(std::make_shared<FieldState>()) {}
Field::~Field() = default;

int Field::Subscribe(EventSink sink) {
    std::lock_guard lock(state_->mutex);
    const int token = state_->nextSink++;
    state_->sinks[token] = std::move(sink);
    return token;
}

void Field::Unsubscribe(int token) {
    std::lock_guard lock(state_->mutex);
    state_->sinks.erase(token);
}

void Field::Populate(int count) {
    for (int i = 0; i < count; ++i)
        Handle({{"op", "add"}, {"programId", i % 2 ? kVq71ProgramId : kVq70ProgramId}}, {}, nullptr, {});
}

Json Field::Handle(const Json& req, const Bytes& in, Bytes* out, const CallOptions& opts) {
    if (!req.is_object()) throw FieldError(Code::BadValue, "A request is a JSON object.");
    const auto name = req.find("op");
    if (name == req.end()) throw FieldError(Code::BadValue, "The request has no \"op\".");
    if (!name->is_string()) throw FieldError(Code::BadValue, "\"op\" must be a text.");
    const std::string& op = name->get_ref<const std::string&>();
    for (const Op& o : Ops())
        if (op == o.name) {
            for (const Arg& a : o.args) CheckArg(req, a);
            Request r(*state_, req, in, out, opts);
            return o.run(r);
        }
    throw FieldError(Code::BadValue, "Unknown request \"" + op + "\".");
}

namespace {
std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, std::shared_ptr<Field>>& Registry() {
    static std::map<std::string, std::shared_ptr<Field>> r;
    return r;
}
}  // namespace

void RegisterField(const std::string& name, std::shared_ptr<Field> field) {
    std::lock_guard lock(RegistryMutex());
    Registry()[name] = std::move(field);
}
void UnregisterField(const std::string& name) {
    std::lock_guard lock(RegistryMutex());
    Registry().erase(name);
}
std::shared_ptr<Field> FindField(const std::string& name) {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(name);
    return it == Registry().end() ? nullptr : it->second;
}

namespace {
constexpr std::pair<Code, const char*> kCodeNames[] = {
    {Code::InterfaceNoAnswer, "interfaceNoAnswer"},
    {Code::NoAnswer, "noAnswer"},
    {Code::Refused, "refused"},
    {Code::Busy, "busy"},
    {Code::Aborted, "aborted"},
    {Code::NotFound, "notFound"},
    {Code::BadValue, "badValue"},
};
}  // namespace

const char* CodeName(Code code) {
    for (const auto& [c, name] : kCodeNames)
        if (c == code) return name;
    return "badValue";
}

bool CodeFromName(const std::string& name, Code* out) {
    for (const auto& [c, n] : kCodeNames)
        if (name == n) {
            *out = c;
            return true;
        }
    return false;
}

}  // namespace vqfield
