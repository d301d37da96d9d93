// vqsim: a field of simulated VQ units served on loopback, and the commands
// that drive a running one (docs/wire.md).
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "vqfield/apb.h"
#include "vqfield/client.h"
#include "vqfield/server.h"
#include "vqfield/tool_cli.h"

using namespace vqfield;

namespace {

volatile std::sig_atomic_t g_stop = 0;

Client Remote(int port) {
    return Client(Connect("tcp:127.0.0.1:" + std::to_string(port)));
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "A field of simulated VQ units served on 127.0.0.1 (the protocol is docs/wire.md), and the\n"
        "commands that drive a running one: press a unit's service pin, add, remove, break and\n"
        "repair units, set a channel's bit rate, drive a unit's program (raise an event, write an\n"
        "input, move its clock on), and write test application images.",
        "vqsim"};
    app.set_version_flag("--version", VQ_VERSION);
    app.require_subcommand(1);
    app.fallthrough();  // --port may come after the command
    app.footer(
        "Environment:\n"
        "  VQSIM_PORT  the daemon's port when --port is not given (else 7470)\n"
        "\n"
        "Exit codes:\n"
        "  0  done (serve: stopped by SIGINT or SIGTERM)\n"
        "  1  the daemon cannot be reached or refused the command, or a file cannot be written\n"
        "  2  wrong usage");
    int port = 7470;
    app.add_option("--port", port, "the daemon's TCP port on 127.0.0.1; 0 lets serve pick a free one")
        ->envname("VQSIM_PORT")
        ->check(CLI::Range(0, 65535));

    int units = 1, answerTimeout = 0, channel = 1;
    std::uint64_t rate = 0;
    auto* serve = app.add_subcommand(
        "serve", "Serve a field until killed; prints \"vqsim listening on 127.0.0.1:PORT\"");
    serve->add_option("--units", units, "units to add, VQ-70 and VQ-71 in turn")
        ->check(CLI::Range(0, 100000));
    serve->add_option("--rate", rate, "bit rate of channel 1, 0 = unlimited");
    serve->add_option("--answer-timeout", answerTimeout, "ms an absent or silent unit costs")
        ->check(CLI::Range(1, 60000));

    bool json = false;
    auto* status = app.add_subcommand(
        "status", "Print every unit: Sarvik ID, program ID, channel, state, its program's counts");
    status->add_flag("--json", json, "print the whole status as JSON");

    std::string sarvikId;
    auto* pin = app.add_subcommand("pin", "Press a unit's service pin");
    pin->add_option("SARVIK_ID", sarvikId, "the unit")->required();

    std::string programId = kVq70ProgramId;
    auto* add = app.add_subcommand("add", "Add a unit; prints its Sarvik ID");
    add->add_option("--program-id", programId, "16 hex digits (default VQ-70)");
    add->add_option("--channel", channel, "its channel")->check(CLI::Range(1, 65535));
    add->add_option("--sarvik-id", sarvikId, "12 hex digits (default the next free)");

    auto* remove = app.add_subcommand("remove", "Take a unit off the field");
    remove->add_option("SARVIK_ID", sarvikId, "the unit")->required();

    std::optional<int> failImageLoads, busyDb;
    std::optional<std::int64_t> dropAfter;
    bool silent = false, refuseCommission = false;
    auto* breakCmd = app.add_subcommand("break", "Give a unit faults");
    breakCmd->add_option("SARVIK_ID", sarvikId, "the unit")->required();
    breakCmd->add_option("--fail-image-loads", failImageLoads, "fail this many image loads")
        ->check(CLI::Range(0, 2147483647));
    breakCmd->add_option("--busy-db", busyDb, "answer busy to this many database writes")
        ->check(CLI::Range(0, 2147483647));
    breakCmd->add_flag("--silent", silent, "answer nothing");
    breakCmd->add_flag("--refuse-commission", refuseCommission, "refuse to be commissioned");
    breakCmd->add_option("--drop-after", dropAfter, "drop the link once a transfer sent this many bytes")
        ->check(CLI::Range(std::int64_t(0), std::int64_t(9223372036854775807)));

    int code = 0;
    auto* eventCmd = app.add_subcommand(
        "event", "Let a unit raise an event code of its event list; its program handles it");
    eventCmd->add_option("SARVIK_ID", sarvikId, "the unit")->required();
    eventCmd->add_option("CODE", code, "the event code")->required()->check(CLI::Range(0, 65535));

    std::string nvName;
    std::int32_t nvValue = 0;
    auto* inputCmd =
        app.add_subcommand("input", "Write an input network variable of a unit's program from the network");
    inputCmd->add_option("SARVIK_ID", sarvikId, "the unit")->required();
    inputCmd->add_option("NAME", nvName, "the input network variable")->required();
    inputCmd->add_option("VALUE", nvValue, "the value written")->required();

    std::int64_t ms = 0;
    auto* advanceCmd =
        app.add_subcommand("advance", "Move a unit's program clock on; its timers that fall due run");
    advanceCmd->add_option("SARVIK_ID", sarvikId, "the unit")->required();
    advanceCmd->add_option("MS", ms, "milliseconds")
        ->required()
        ->check(CLI::Range(std::int64_t(0), std::int64_t(2147483647)));

    auto* repair = app.add_subcommand("repair", "Clear every fault of a unit");
    repair->add_option("SARVIK_ID", sarvikId, "the unit")->required();

    auto* rateCmd = app.add_subcommand("rate", "Set a channel's bit rate");
    rateCmd->add_option("BITS_PER_S", rate, "0 = unlimited")->required();
    rateCmd->add_option("--channel", channel, "the channel")->check(CLI::Range(1, 65535));

    std::int64_t size = 65536;
    std::string out;
    auto* apb = app.add_subcommand("apb", "Write an application image (docs/apb.md) with a pattern body");
    apb->add_option("--program-id", programId, "16 hex digits (default VQ-70)");
    apb->add_option("--size", size, "body bytes")->check(CLI::Range(std::int64_t(1), std::int64_t(1) << 30));
    apb->add_option("OUT.apb", out, "the file to write")->required();

    if (const int rc = vqfield::ParseCommandLine(app, argc, argv); rc >= 0) return rc;

    try {
        if (*serve) {
            auto field = std::make_shared<Field>();
            field->Populate(units);
            Client local(ConnectInProcess(field));
            local.SetRate(1, rate);
            if (answerTimeout) local.SetAnswerTimeout(answerTimeout);
            Server server(field, port);
            std::signal(SIGINT, [](int) { g_stop = 1; });
            std::signal(SIGTERM, [](int) { g_stop = 1; });
            std::signal(SIGPIPE, SIG_IGN);  // a client or the console going away must not stop the field
            std::cout << "vqsim listening on 127.0.0.1:" << server.port() << std::endl;
            for (const auto& u : local.Units())
                std::cout << "unit " << u.sarvikId << " " << u.programId << std::endl;
            while (!g_stop) pause();
        } else if (*status) {
            const Json st = Remote(port).transport().Call({{"op", "status"}}, {}, nullptr, {});
            if (json) {
                std::cout << st.dump(2) << std::endl;
            } else {
                for (const auto& u : st["units"]) {
                    std::printf("%s %s ch%d %s state %d", u["sarvikId"].get<std::string>().c_str(),
                                u["programId"].get<std::string>().c_str(), u["channel"].get<int>(),
                                u["configured"].get<bool>() ? "configured" : "unconfigured",
                                u["state"].get<int>());
                    const Json& p = u["programState"];
                    if (p.is_object())
                        std::printf(" program: %llu events handled, %llu outputs, %llu faults\n",
                                    (unsigned long long)p.value("eventsHandled", 0ull),
                                    (unsigned long long)p.value("outputsSent", 0ull),
                                    (unsigned long long)p.value("faults", 0ull));
                    else
                        std::printf(" no program\n");
                }
            }
        } else if (*pin) {
            Remote(port).PressServicePin(sarvikId);
        } else if (*add) {
            std::cout << Remote(port).AddUnit(programId, channel, sarvikId) << std::endl;
        } else if (*remove) {
            Remote(port).RemoveUnit(sarvikId);
        } else if (*eventCmd) {
            std::cout << (Remote(port).RaiseEvent(sarvikId, code) ? "handled" : "no handler") << std::endl;
        } else if (*inputCmd) {
            Remote(port).WriteInput(sarvikId, nvName, nvValue);
        } else if (*advanceCmd) {
            const std::int64_t clock = Remote(port).AdvanceClock(sarvikId, ms);
            if (clock < 0)
                throw FieldError(Code::NotFound, "The VQ with Sarvik ID " + sarvikId + " has no program.");
            std::cout << clock << std::endl;
        } else if (*repair) {
            Remote(port).Repair(sarvikId);
        } else if (*breakCmd) {
            Json f = Json::object();
            if (failImageLoads) f["failImageLoads"] = *failImageLoads;
            if (busyDb) f["busyDbDownloads"] = *busyDb;
            if (silent) f["silent"] = true;
            if (refuseCommission) f["refuseCommission"] = true;
            if (dropAfter) f["dropAfterBytes"] = *dropAfter;
            Remote(port).Break(sarvikId, f);
        } else if (*rateCmd) {
            Remote(port).SetRate(channel, rate);
        } else if (*apb) {
            if (!IsProgramIdText(programId))
                throw FieldError(Code::BadValue, "Not a program ID: \"" + programId + "\"");
            const Bytes image = MakeApb(Upper(programId), PatternBody(std::size_t(size)));
            std::ofstream file(out, std::ios::binary);
            file.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
            if (!file.flush()) throw FieldError(Code::BadValue, "Cannot write " + out);
        }
        return 0;
    } catch (const FieldError& e) {
        std::cerr << "vqsim: " << e.what() << " (" << CodeName(e.code()) << ")" << std::endl;
        return 1;
    }
}
