// vqsim: a field of simulated VQ units served on loopback, and the commands
// that drive a running one (docs/wire.md).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "vqfield/apb.h"
#include "vqfield/client.h"
#include "vqfield/server.h"

using namespace vqfield;

namespace {

volatile std::sig_atomic_t g_stop = 0;

int Usage() {
    std::cerr << "usage:\n"
                 "  vqsim serve [--port N] [--units K] [--rate BITS_PER_S] [--answer-timeout MS]\n"
                 "  vqsim status [--json] [--port N]\n"
                 "  vqsim pin SARVIK_ID [--port N]\n"
                 "  vqsim add [--program-id ID] [--channel C] [--sarvik-id ID] [--port N]\n"
                 "  vqsim remove SARVIK_ID [--port N]\n"
                 "  vqsim break SARVIK_ID [--fail-image-loads N] [--busy-db N] [--silent] [--refuse-commission]\n"
                 "                        [--drop-after BYTES] [--port N]\n"
                 "  vqsim repair SARVIK_ID [--port N]\n"
                 "  vqsim rate BITS_PER_S [--channel C] [--port N]\n"
                 "  vqsim apb --program-id ID --size BYTES OUT.apb\n"
                 "The port defaults to $VQSIM_PORT, else 7470.\n";
    return 2;
}

struct Args {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
    bool Has(const std::string& k) const {
        for (auto& [key, v] : options)
            if (key == k) return true;
        return false;
    }
    std::string Get(const std::string& k, const std::string& def = {}) const {
        for (auto& [key, v] : options)
            if (key == k) return v;
        return def;
    }
};

const std::vector<std::string> kFlags = {"--json", "--silent", "--refuse-commission"};

long long Number(const std::string& text, const char* what) {
    try {
        std::size_t used = 0;
        const long long v = std::stoll(text, &used);
        if (used == text.size()) return v;
    } catch (...) {
    }
    throw FieldError(Code::BadValue, std::string("Not a number for ") + what + ": \"" + text + "\"");
}

int Port(const Args& a) {
    const char* env = std::getenv("VQSIM_PORT");
    return int(Number(a.Get("--port", env && *env ? env : "7470"), "--port"));
}

Client Remote(const Args& a) { return Client(Connect("tcp:127.0.0.1:" + std::to_string(Port(a)))); }

int Serve(const Args& a) {
    auto field = std::make_shared<Field>();
    field->Populate(int(Number(a.Get("--units", "1"), "--units")));
    Client local(ConnectInProcess(field));
    local.SetRate(1, std::uint64_t(Number(a.Get("--rate", "0"), "--rate")));
    if (a.Has("--answer-timeout")) local.SetAnswerTimeout(int(Number(a.Get("--answer-timeout"), "--answer-timeout")));
    Server server(field, Port(a));
    std::signal(SIGINT, [](int) { g_stop = 1; });
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    std::signal(SIGPIPE, SIG_IGN);  // a client or the console going away must not stop the field
    std::cout << "vqsim listening on 127.0.0.1:" << server.port() << std::endl;
    for (const auto& u : local.Units()) std::cout << "unit " << u.sarvikId << " " << u.programId << std::endl;
    while (!g_stop) pause();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string cmd = argv[1];
    Args a;
    for (int i = 2; i < argc; ++i) {
        std::string s = argv[i];
        if (s.rfind("--", 0) == 0) {
            const bool flag = std::find(kFlags.begin(), kFlags.end(), s) != kFlags.end();
            if (!flag && i + 1 >= argc) return Usage();
            a.options.emplace_back(s, flag ? "1" : argv[++i]);
        } else {
            a.positional.push_back(s);
        }
    }
    auto one = [&]() -> std::string {
        if (a.positional.size() != 1) throw FieldError(Code::BadValue, "Give one Sarvik ID.");
        return a.positional[0];
    };
    try {
        if (cmd == "serve") return Serve(a);
        if (cmd == "status") {
            const Json st = Remote(a).transport().Call({{"op", "status"}}, {}, nullptr, {});
            if (a.Has("--json")) {
                std::cout << st.dump(2) << std::endl;
            } else {
                for (const auto& u : st["units"])
                    std::printf("%s %s ch%d %s state %d\n", u["sarvikId"].get<std::string>().c_str(),
                                u["programId"].get<std::string>().c_str(), u["channel"].get<int>(),
                                u["configured"].get<bool>() ? "configured" : "unconfigured", u["state"].get<int>());
            }
            return 0;
        }
        if (cmd == "pin") {
            Remote(a).PressServicePin(one());
            return 0;
        }
        if (cmd == "add") {
            std::cout << Remote(a).AddUnit(a.Get("--program-id", kVq70ProgramId),
                                           int(Number(a.Get("--channel", "1"), "--channel")), a.Get("--sarvik-id"))
                      << std::endl;
            return 0;
        }
        if (cmd == "remove") {
            Remote(a).RemoveUnit(one());
            return 0;
        }
        if (cmd == "repair") {
            Remote(a).Repair(one());
            return 0;
        }
        if (cmd == "break") {
            Json f = Json::object();
            if (a.Has("--fail-image-loads")) f["failImageLoads"] = Number(a.Get("--fail-image-loads"), "--fail-image-loads");
            if (a.Has("--busy-db")) f["busyDbDownloads"] = Number(a.Get("--busy-db"), "--busy-db");
            if (a.Has("--silent")) f["silent"] = true;
            if (a.Has("--refuse-commission")) f["refuseCommission"] = true;
            if (a.Has("--drop-after")) f["dropAfterBytes"] = Number(a.Get("--drop-after"), "--drop-after");
            Remote(a).Break(one(), f);
            return 0;
        }
        if (cmd == "rate") {
            if (a.positional.size() != 1) return Usage();
            Remote(a).SetRate(int(Number(a.Get("--channel", "1"), "--channel")),
                              std::uint64_t(Number(a.positional[0], "the bit rate")));
            return 0;
        }
        if (cmd == "apb") {
            const std::string pid = a.Get("--program-id", kVq70ProgramId);
            const long long size = Number(a.Get("--size", "65536"), "--size");
            if (a.positional.size() != 1 || !IsProgramIdText(pid) || size <= 0) return Usage();
            const Bytes image = MakeApb(Upper(pid), PatternBody(std::size_t(size)));
            std::ofstream out(a.positional[0], std::ios::binary);
            out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
            if (!out.flush()) throw FieldError(Code::BadValue, "Cannot write " + a.positional[0]);
            return 0;
        }
    } catch (const FieldError& e) {
        std::cerr << "vqsim: " << e.what() << " (" << CodeName(e.code()) << ")" << std::endl;
        return 1;
    }
    return Usage();
}
