#include "vqfield/field.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "vqfield/apb.h"

namespace vqfield {

std::chrono::nanoseconds WireTime(std::size_t bytes, std::uint64_t bitsPerSecond) {
    if (bitsPerSecond == 0) return std::chrono::nanoseconds(0);
    const std::size_t frames = std::max<std::size_t>(1, (bytes + kFramePayload - 1) / kFramePayload);
    const long double bits = (long double)(bytes + frames * kFrameOverhead) * 8.0L;
    return std::chrono::nanoseconds((long long)(bits * 1e9L / (long double)bitsPerSecond));
}

struct Field::Unit {
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
    Faults faults;
};

struct Field::Transfer {
    std::string sarvikId;
    int kind = 0;
    Bytes received;
};

struct Field::State {
    std::mutex mutex;
    std::map<std::string, Unit> units;
    std::map<int, std::uint64_t> rates{{1, 0}};
    std::map<std::uint32_t, Transfer> transfers;
    std::uint32_t nextTransfer = 1;
    std::uint64_t nextSarvik = 0x04A100000001ull;
    int answerTimeoutMs = 1000;
    std::map<int, EventSink> sinks;
    int nextSink = 1;
};

namespace {

using Clock = std::chrono::steady_clock;

// Waits in short slices so progress keeps flowing and a cancel is seen quickly.
void Wait(std::chrono::nanoseconds d, const CallOptions& opts) {
    const auto deadline = Clock::now() + d;
    auto lastProgress = Clock::now();
    for (;;) {
        if (opts.cancel && opts.cancel->load()) throw FieldError(Code::Aborted, "The transfer was cancelled.");
        const auto now = Clock::now();
        if (now >= deadline) break;
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(deadline - now, std::chrono::milliseconds(20)));
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

std::string Need(const Json& req, const char* key) {
    if (!req.contains(key) || !req[key].is_string()) throw FieldError(Code::BadValue, std::string("missing ") + key);
    return req[key].get<std::string>();
}
std::int64_t NeedInt(const Json& req, const char* key) {
    if (!req.contains(key) || !req[key].is_number_integer())
        throw FieldError(Code::BadValue, std::string("missing ") + key);
    return req[key].get<std::int64_t>();
}

const char* KindName(int kind) {
    switch (kind) {
        case 4: return "event list";
        case 5: return "database";
        case 8: return "interpreted program";
        default: return "file";
    }
}

}  // namespace

Field::Field() : state_(std::make_shared<State>()) {}
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
    State& s = *state_;
    const std::string op = req.value("op", "");
    std::unique_lock lock(s.mutex);

    auto unitJson = [&](const Unit& u) {
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
                    {"faults",
                     {{"failImageLoads", u.faults.failImageLoads},
                      {"busyDbDownloads", u.faults.busyDbDownloads},
                      {"silent", u.faults.silent},
                      {"refuseCommission", u.faults.refuseCommission},
                      {"dropAfterBytes", u.faults.dropAfterBytes}}}};
    };
    auto rate = [&](int channel) {
        auto it = s.rates.find(channel);
        return it == s.rates.end() ? 0 : it->second;
    };
    auto adminUnit = [&](const std::string& id) -> Unit& {
        auto it = s.units.find(Upper(id));
        if (it == s.units.end()) throw FieldError(Code::NotFound, "No VQ with Sarvik ID " + id + " on the field.");
        return it->second;
    };
    // A unit that is absent or silent costs the caller the answer timeout, as on a real wire.
    auto reach = [&](const std::string& id) -> Unit& {
        if (!IsSarvikIdText(id)) throw FieldError(Code::BadValue, "Not a Sarvik ID: \"" + id + "\"");
        auto it = s.units.find(Upper(id));
        if (it == s.units.end() || it->second.faults.silent) {
            const auto timeout = std::chrono::milliseconds(s.answerTimeoutMs);
            lock.unlock();
            Wait(timeout, opts);
            throw FieldError(Code::NoAnswer, "The VQ with Sarvik ID " + Upper(id) + " did not answer.");
        }
        return it->second;
    };
    // Puts `bytes` on the unit's channel, dropping the link if the unit is set to.
    // Returns with the lock held again; the unit must be looked up afresh after.
    auto send = [&](const std::string& id, std::size_t already, std::size_t bytes) {
        Unit& u = s.units.at(Upper(id));
        const std::uint64_t r = rate(u.channel);
        std::int64_t drop = u.faults.dropAfterBytes;
        bool dropNow = drop >= 0 && std::int64_t(already + bytes) > drop;
        if (dropNow) u.faults.dropAfterBytes = -1;
        const std::size_t sent = dropNow ? std::size_t(std::max<std::int64_t>(0, drop - std::int64_t(already))) : bytes;
        lock.unlock();
        Wait(WireTime(sent, r), opts);
        lock.lock();
        if (dropNow)
            throw FieldError(Code::Aborted, "The link to the VQ with Sarvik ID " + Upper(id) + " dropped during the transfer.");
        if (!s.units.count(Upper(id)))
            throw FieldError(Code::NoAnswer, "The VQ with Sarvik ID " + Upper(id) + " did not answer.");
    };

    if (op == "hello") return {{"field", "vqfield"}, {"version", 1}};
    if (op == "status") {
        Json units = Json::array();
        for (auto& [id, u] : s.units) units.push_back(unitJson(u));
        Json channels = Json::array();
        for (auto& [id, r] : s.rates) channels.push_back({{"id", id}, {"bitsPerSecond", r}});
        return {{"units", units}, {"channels", channels}, {"answerTimeoutMs", s.answerTimeoutMs}};
    }
    if (op == "inspect") {
        Unit& u = adminUnit(Need(req, "sarvikId"));
        if (out) {
            out->clear();
            for (const Bytes* b : {&u.image, &u.eventList, &u.program, &u.database}) out->insert(out->end(), b->begin(), b->end());
        }
        return unitJson(u);
    }
    if (op == "add") {
        std::string programId = Upper(req.value("programId", std::string(kVq70ProgramId)));
        if (!IsProgramIdText(programId)) throw FieldError(Code::BadValue, "Not a program ID: \"" + programId + "\"");
        std::string id = Upper(req.value("sarvikId", std::string()));
        if (id.empty()) {
            do {
                char buf[13];
                std::snprintf(buf, sizeof buf, "%012llX", (unsigned long long)s.nextSarvik++);
                id = buf;
            } while (s.units.count(id));
        }
        if (!IsSarvikIdText(id)) throw FieldError(Code::BadValue, "Not a Sarvik ID: \"" + id + "\"");
        if (s.units.count(id)) throw FieldError(Code::BadValue, "A VQ with Sarvik ID " + id + " is already on the field.");
        Unit u;
        u.sarvikId = id;
        u.programId = programId;
        u.channel = int(req.value("channel", 1));
        s.rates.emplace(u.channel, 0);
        s.units[id] = u;
        return {{"sarvikId", id}};
    }
    if (op == "remove") {
        adminUnit(Need(req, "sarvikId"));
        s.units.erase(Upper(Need(req, "sarvikId")));
        return Json::object();
    }
    if (op == "break") {
        Faults& f = adminUnit(Need(req, "sarvikId")).faults;
        f.failImageLoads = int(req.value("failImageLoads", f.failImageLoads));
        f.busyDbDownloads = int(req.value("busyDbDownloads", f.busyDbDownloads));
        f.silent = req.value("silent", f.silent);
        f.refuseCommission = req.value("refuseCommission", f.refuseCommission);
        f.dropAfterBytes = req.value("dropAfterBytes", f.dropAfterBytes);
        return Json::object();
    }
    if (op == "repair") {
        adminUnit(Need(req, "sarvikId")).faults = Faults{};
        return Json::object();
    }
    if (op == "rate") {
        const auto bps = NeedInt(req, "bitsPerSecond");
        if (bps < 0) throw FieldError(Code::BadValue, "A bit rate cannot be negative.");
        s.rates[int(req.value("channel", 1))] = std::uint64_t(bps);
        return Json::object();
    }
    if (op == "settings") {
        s.answerTimeoutMs = int(std::clamp<std::int64_t>(req.value("answerTimeoutMs", s.answerTimeoutMs), 1, 60000));
        return Json::object();
    }
    if (op == "pin") {
        Unit& u = adminUnit(Need(req, "sarvikId"));
        Json ev{{"event", "servicePin"}, {"sarvikId", u.sarvikId}, {"programId", u.programId},
                {"channel", u.channel},  {"subnet", 0},            {"node", 0},
                {"flags", u.configured ? 1 : 0}};
        std::vector<EventSink> sinks;
        for (auto& [t, sink] : s.sinks) sinks.push_back(sink);
        lock.unlock();
        for (auto& sink : sinks) sink(ev);
        return Json::object();
    }

    // Unit operations: they travel on the wire.
    if (op == "discover") {
        std::vector<std::string> ids;
        std::size_t answering = 0;
        Json units = Json::array();
        for (auto& [id, u] : s.units)
            if (!u.faults.silent) {
                ++answering;
                if (!u.configured) units.push_back({{"sarvikId", u.sarvikId}, {"programId", u.programId}, {"channel", u.channel}});
            }
        lock.unlock();
        Wait(WireTime(answering * 16, rate(1)), opts);
        return {{"units", units}};
    }
    if (op == "openTransfer" || op == "write" || op == "close" || op == "abort") {
        if (op == "openTransfer") {
            const std::string id = Need(req, "sarvikId");
            const int kind = int(NeedInt(req, "kind"));
            Unit& u = reach(id);
            if (kind != 4 && kind != 5 && kind != 8) throw FieldError(Code::BadValue, "Unknown file kind " + std::to_string(kind) + ".");
            if (!u.configured) throw FieldError(Code::Refused, "The VQ with Sarvik ID " + u.sarvikId + " is not commissioned.");
            send(id, 0, 0);
            const std::uint32_t tid = s.nextTransfer++;
            s.transfers[tid] = Transfer{Upper(id), kind, {}};
            return {{"transferId", tid}};
        }
        const auto tid = std::uint32_t(NeedInt(req, "transferId"));
        auto it = s.transfers.find(tid);
        if (it == s.transfers.end()) throw FieldError(Code::NotFound, "No open transfer " + std::to_string(tid) + ".");
        if (op == "abort") {
            s.transfers.erase(it);
            return Json::object();
        }
        const std::string id = it->second.sarvikId;
        const int kind = it->second.kind;
        Unit& u = reach(id);
        if (op == "write") {
            if (kind == 5 && u.faults.busyDbDownloads > 0) {
                --u.faults.busyDbDownloads;
                send(id, 0, 0);
                throw FieldError(Code::Busy, "The VQ with Sarvik ID " + id + " is busy; try again.");
            }
            const std::size_t already = it->second.received.size();
            send(id, already, in.size());  // a dropped chunk is not kept; the transfer stays open
            auto again = s.transfers.find(tid);
            if (again == s.transfers.end()) throw FieldError(Code::Aborted, "The transfer was aborted.");
            again->second.received.insert(again->second.received.end(), in.begin(), in.end());
            return {{"received", again->second.received.size()}};
        }
        // close: the unit checks the whole file before it keeps it
        Bytes data = std::move(it->second.received);
        s.transfers.erase(it);
        send(id, 0, 0);
        Unit& v = s.units.at(id);
        std::string why;
        if (data.empty()) why = "it is empty";
        else if (kind == 4 && data.size() % 34 != 0)
            why = "its length " + std::to_string(data.size()) + " is not a whole number of 34-byte records";
        else if (kind == 8 && data.size() > 64 * 1024) why = "it is larger than the program memory";
        else if (kind == 5) why = CheckQ70(data);
        if (!why.empty())
            throw FieldError(Code::Refused, std::string("The VQ refused the ") + KindName(kind) + ": " + why + ".");
        if (kind == 4) v.eventList = std::move(data);
        else if (kind == 8) v.program = std::move(data);
        else {
            v.database = std::move(data);
            v.databaseChecked = true;
        }
        return Json::object();
    }

    const std::string id = Need(req, "sarvikId");
    Unit& u = reach(id);
    if (op == "ping") {
        send(id, 0, 0);
        return {{"programId", s.units.at(Upper(id)).programId}};
    }
    if (op == "loadImage") {
        send(id, 0, in.size());
        Unit& v = s.units.at(Upper(id));
        if (v.faults.failImageLoads > 0) {
            --v.faults.failImageLoads;
            throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " failed to load the application image.");
        }
        ApbInfo info;
        const std::string why = CheckApb(in, &info);
        if (!why.empty()) throw FieldError(Code::Refused, "The VQ refused the application image: " + why + ".");
        v.image = in;
        v.programId = info.programId;
        v.configured = v.commissioned = v.defaultsLoaded = false;
        v.state = 12;
        ++v.imageLoads;
        return Json::object();
    }
    if (op == "loadDefaults") {
        send(id, 0, 0);
        Unit& v = s.units.at(Upper(id));
        if (v.image.empty()) throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " has no application image.");
        v.defaultsLoaded = true;
        return Json::object();
    }
    if (op == "commission") {
        send(id, 0, 0);
        Unit& v = s.units.at(Upper(id));
        if (v.faults.refuseCommission)
            throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " refused commissioning.");
        if (v.image.empty()) throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " has no application image.");
        v.configured = v.commissioned = true;
        return Json::object();
    }
    if (op == "getState") {
        send(id, 0, 0);
        return {{"state", s.units.at(Upper(id)).state}};
    }
    if (op == "setState") {
        const int st = int(NeedInt(req, "state"));
        if (st != 4 && st != 12) throw FieldError(Code::BadValue, "Unknown state " + std::to_string(st) + ".");
        send(id, 0, 0);
        Unit& v = s.units.at(Upper(id));
        if (!v.commissioned) throw FieldError(Code::Refused, "The VQ with Sarvik ID " + v.sarvikId + " is not commissioned.");
        v.state = st;
        return Json::object();
    }
    if (op == "wink") {
        send(id, 0, 0);
        ++s.units.at(Upper(id)).winks;
        return Json::object();
    }
    if (op == "fbCount") return {{"count", 1}};
    if (op == "getFb" || op == "setFb") {
        if (NeedInt(req, "index") != 1) throw FieldError(Code::NotFound, "No functional block " + std::to_string(NeedInt(req, "index")) + ".");
        send(id, 0, 0);
        Unit& v = s.units.at(Upper(id));
        if (op == "setFb") v.nodeEnabled = NeedInt(req, "disabled") == 0;
        return {{"disabled", v.nodeEnabled ? 0 : 1}};
    }
    (void)u;
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

const char* CodeName(Code code) {
    switch (code) {
        case Code::InterfaceNoAnswer: return "interfaceNoAnswer";
        case Code::NoAnswer: return "noAnswer";
        case Code::Refused: return "refused";
        case Code::Busy: return "busy";
        case Code::Aborted: return "aborted";
        case Code::NotFound: return "notFound";
        case Code::BadValue: return "badValue";
    }
    return "badValue";
}

bool CodeFromName(const std::string& name, Code* out) {
    for (Code c : {Code::InterfaceNoAnswer, Code::NoAnswer, Code::Refused, Code::Busy, Code::Aborted, Code::NotFound,
                   Code::BadValue})
        if (name == CodeName(c)) {
            *out = c;
            return true;
        }
    return false;
}

}  // namespace vqfield
