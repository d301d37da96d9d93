#include "vqfield/client.h"

#include "vqfield/apb.h"

namespace vqfield {
namespace {

UnitView ViewOf(const Json& j) {
    UnitView v;
    v.sarvikId = j.value("sarvikId", "");
    v.programId = j.value("programId", "");
    v.channel = j.value("channel", 1);
    v.configured = j.value("configured", false);
    v.commissioned = j.value("commissioned", false);
    v.state = j.value("state", 0);
    v.raw = j;
    return v;
}

class InProcessTransport : public Transport {
public:
    explicit InProcessTransport(std::shared_ptr<Field> field) : field_(std::move(field)) {}
    ~InProcessTransport() override { SetEventSink({}); }

    Json Call(const Json& request, const Bytes& in, Bytes* out, const CallOptions& opts) override {
        return field_->Handle(request, in, out, opts);
    }
    void SetEventSink(std::function<void(const Json&)> sink) override {
        if (token_) field_->Unsubscribe(token_);
        token_ = 0;
        if (sink) token_ = field_->Subscribe(std::move(sink));
    }

private:
    std::shared_ptr<Field> field_;
    int token_ = 0;
};

}  // namespace

std::unique_ptr<Transport> ConnectInProcess(std::shared_ptr<Field> field) {
    return std::make_unique<InProcessTransport>(std::move(field));
}

std::unique_ptr<Transport> ConnectTcp(const std::string& host, int port, int timeoutMs);  // tcp_client.cpp

std::unique_ptr<Transport> Connect(const std::string& endpoint, int connectTimeoutMs) {
    if (endpoint.rfind("field:", 0) == 0) {
        auto field = FindField(endpoint.substr(6));
        if (!field) throw FieldError(Code::InterfaceNoAnswer, "No field answers at " + endpoint + ".");
        return ConnectInProcess(field);
    }
    if (endpoint.rfind("tcp:", 0) == 0) {
        const std::string rest = endpoint.substr(4);
        const auto colon = rest.rfind(':');
        int port = 0;
        try {
            if (colon != std::string::npos) port = std::stoi(rest.substr(colon + 1));
        } catch (...) {
        }
        if (colon == std::string::npos || port <= 0 || port > 65535)
            throw FieldError(Code::BadValue, "Not a TCP endpoint: \"" + endpoint + "\"");
        return ConnectTcp(rest.substr(0, colon), port, connectTimeoutMs);
    }
    throw FieldError(Code::BadValue, "Unknown endpoint \"" + endpoint + "\"");
}

Client::Client(std::unique_ptr<Transport> transport) : transport_(std::move(transport)) {}

Json Client::Call(const Json& request, const Bytes& in, Bytes* out, const CallOptions& opts) {
    return transport_->Call(request, in, out, opts);
}

std::vector<UnitView> Client::Units() {
    std::vector<UnitView> out;
    const Json status = Call({{"op", "status"}});  // kept: the loop must not run over a temporary
    for (const auto& u : status["units"]) out.push_back(ViewOf(u));
    return out;
}

UnitMemory Client::Inspect(const std::string& sarvikId) {
    Bytes all;
    const Json j = Call({{"op", "inspect"}, {"sarvikId", sarvikId}}, {}, &all);
    UnitMemory m;
    m.unit = ViewOf(j);
    std::size_t at = 0;
    for (auto [key, dest] : {std::pair{"image", &m.image}, std::pair{"eventList", &m.eventList},
                             std::pair{"program", &m.program}, std::pair{"database", &m.database}}) {
        const std::size_t n = j[key]["size"].get<std::size_t>();
        if (at + n > all.size()) throw FieldError(Code::BadValue, "Short inspection reply.");
        dest->assign(all.begin() + at, all.begin() + at + n);
        at += n;
    }
    return m;
}

std::string Client::AddUnit(const std::string& programId, int channel, const std::string& sarvikId) {
    Json req{{"op", "add"}, {"programId", programId}, {"channel", channel}};
    if (!sarvikId.empty()) req["sarvikId"] = sarvikId;
    return Call(req)["sarvikId"];
}
void Client::RemoveUnit(const std::string& id) { Call({{"op", "remove"}, {"sarvikId", id}}); }
void Client::Break(const std::string& id, const Json& faults) {
    Json req = faults;
    req["op"] = "break";
    req["sarvikId"] = id;
    Call(req);
}
void Client::Repair(const std::string& id) { Call({{"op", "repair"}, {"sarvikId", id}}); }
void Client::SetRate(int channel, std::uint64_t bps) { Call({{"op", "rate"}, {"channel", channel}, {"bitsPerSecond", bps}}); }
void Client::SetAnswerTimeout(int ms) { Call({{"op", "settings"}, {"answerTimeoutMs", ms}}); }
void Client::PressServicePin(const std::string& id) { Call({{"op", "pin"}, {"sarvikId", id}}); }
void Client::OnServicePin(std::function<void(const UnitView&)> sink) {
    if (!sink) return transport_->SetEventSink({});
    transport_->SetEventSink([sink = std::move(sink)](const Json& ev) {
        if (ev.value("event", "") == "servicePin") sink(ViewOf(ev));
    });
}

std::string Client::Ping(const std::string& id, const CallOptions& o) {
    return Call({{"op", "ping"}, {"sarvikId", id}}, {}, nullptr, o)["programId"];
}
std::vector<UnitView> Client::Discover(const CallOptions& o) {
    std::vector<UnitView> out;
    const Json found = Call({{"op", "discover"}}, {}, nullptr, o);
    for (const auto& u : found["units"]) out.push_back(ViewOf(u));
    return out;
}
void Client::LoadImage(const std::string& id, const Bytes& apb, const CallOptions& o) {
    Call({{"op", "loadImage"}, {"sarvikId", id}}, apb, nullptr, o);
}
void Client::LoadDefaults(const std::string& id, int how, const CallOptions& o) {
    Call({{"op", "loadDefaults"}, {"sarvikId", id}, {"how", how}}, {}, nullptr, o);
}
void Client::Commission(const std::string& id, const CallOptions& o) {
    Call({{"op", "commission"}, {"sarvikId", id}}, {}, nullptr, o);
}
int Client::GetState(const std::string& id, const CallOptions& o) {
    return Call({{"op", "getState"}, {"sarvikId", id}}, {}, nullptr, o)["state"];
}
void Client::SetState(const std::string& id, int state, const CallOptions& o) {
    Call({{"op", "setState"}, {"sarvikId", id}, {"state", state}}, {}, nullptr, o);
}
void Client::Wink(const std::string& id, const CallOptions& o) { Call({{"op", "wink"}, {"sarvikId", id}}, {}, nullptr, o); }
int Client::FunctionalBlockCount(const std::string& id, const CallOptions& o) {
    return Call({{"op", "fbCount"}, {"sarvikId", id}}, {}, nullptr, o)["count"];
}
int Client::GetFbDisabled(const std::string& id, int index, const CallOptions& o) {
    return Call({{"op", "getFb"}, {"sarvikId", id}, {"index", index}}, {}, nullptr, o)["disabled"];
}
void Client::SetFbDisabled(const std::string& id, int index, int disabled, const CallOptions& o) {
    Call({{"op", "setFb"}, {"sarvikId", id}, {"index", index}, {"disabled", disabled}}, {}, nullptr, o);
}
std::uint32_t Client::OpenTransfer(const std::string& id, int kind, const CallOptions& o) {
    return Call({{"op", "openTransfer"}, {"sarvikId", id}, {"kind", kind}}, {}, nullptr, o)["transferId"];
}
void Client::Write(std::uint32_t t, const Bytes& bytes, const CallOptions& o) {
    Call({{"op", "write"}, {"transferId", t}}, bytes, nullptr, o);
}
void Client::Close(std::uint32_t t, const CallOptions& o) { Call({{"op", "close"}, {"transferId", t}}, {}, nullptr, o); }
bool Client::RaiseEvent(const std::string& id, int code, const CallOptions& o) {
    return Call({{"op", "event"}, {"sarvikId", id}, {"code", code}}, {}, nullptr, o)["handled"].get<bool>();
}
void Client::WriteInput(const std::string& id, const std::string& name, std::int32_t value, const CallOptions& o) {
    Call({{"op", "writeInput"}, {"sarvikId", id}, {"name", name}, {"value", value}}, {}, nullptr, o);
}
std::int64_t Client::AdvanceClock(const std::string& id, std::int64_t ms) {
    const Json j = Call({{"op", "advance"}, {"sarvikId", id}, {"ms", ms}});
    return j["clockMs"].is_null() ? -1 : j["clockMs"].get<std::int64_t>();
}
void Client::Abort(std::uint32_t t) noexcept {
    try {
        Call({{"op", "abort"}, {"transferId", t}});
    } catch (...) {
    }
}

void Client::SendFile(const std::string& id, int kind, const Bytes& bytes, std::size_t chunkSize, int chunkRetries,
                      const CallOptions& opts) {
    if (chunkSize == 0) throw FieldError(Code::BadValue, "Chunk size 0.");
    auto retried = [&](auto&& step) {
        for (int attempt = 0;; ++attempt) {
            try {
                return step();
            } catch (const FieldError& e) {
                const bool cancelled = opts.cancel && opts.cancel->load();
                const bool transient = e.code() == Code::Busy || e.code() == Code::NoAnswer || e.code() == Code::Aborted;
                if (cancelled || !transient || attempt >= chunkRetries) throw;
                if (opts.progress) opts.progress();
            }
        }
    };
    const std::uint32_t t = retried([&] { return OpenTransfer(id, kind, opts); });
    try {
        for (std::size_t at = 0; at < bytes.size(); at += chunkSize) {
            const Bytes chunk(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + chunkSize));
            retried([&] { Write(t, chunk, opts); });
            if (opts.progress) opts.progress();
        }
        retried([&] { Close(t, opts); });
    } catch (...) {
        Abort(t);
        throw;
    }
}

}  // namespace vqfield
