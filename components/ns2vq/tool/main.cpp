// ns2vq verify FILE | ns2vq dump FILE
// verify exits 0 for a sound file and 1 with the status and reason otherwise;
// dump prints the header and every record.
#include <cstdio>
#include <string>
#include <variant>

#include "ns2vq/q70.h"
#include "vqfield/tool_cli.h"

namespace {

std::string Value(const ovx::Value& v) {
    if (const auto* i = std::get_if<std::int32_t>(&v)) return std::to_string(*i);
    if (const auto* s = std::get_if<std::string>(&v)) return "\"" + *s + "\"";
    return "-";
}

void PrintDevice(const char* kind, const ovx::DeviceDetails& d) {
    std::printf(
        "  %-12s %s  handle %u  program ID %s  location \"%s\"  Sarvik ID \"%s\"  channel %d  template "
        "\"%s\"\n",
        kind, d.name.c_str(), d.handle, d.programId.c_str(), d.location.c_str(), d.sarvikId.c_str(),
        d.channelId, d.templateName.c_str());
    for (const auto& nv : d.nvs)
        std::printf("      NV %d %s : %s%s\n", nv.index, nv.name.c_str(), nv.type.c_str(),
                    nv.nodeObject ? "  (node object)" : "");
    for (const auto& cp : d.cps)
        std::printf("      CP %s = %s  (default %s)\n", cp.name.c_str(), Value(cp.value).c_str(),
                    Value(cp.defaultValue).c_str());
}

int Failed(const char* path, const ns2vq::ReadResult& r) {
    const char* name = ns2vq::StatusName(r.status);
    std::printf("%s: FAILED 0x%04X %s: %s\n", path, r.status, name ? name : "", r.reason.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Checks compressed network database files (.q70, docs/q70-format.md) and prints what they hold.",
        "ns2vq"};
    app.set_version_flag("--version", VQ_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Environment: none read.\n"
        "\n"
        "Exit codes:\n"
        "  0  the file is sound\n"
        "  1  the file is not: \"FILE: FAILED 0xCODE NAME: reason\" on standard output\n"
        "  2  wrong usage");
    std::string fileName;
    auto* verify =
        app.add_subcommand("verify", "Check the header, the checksum and every record; print a summary");
    verify->add_option("FILE", fileName, "the .q70 file")->required();
    auto* dump =
        app.add_subcommand("dump", "Check the file as verify does, then print the header and every record");
    dump->add_option("FILE", fileName, "the .q70 file")->required();
    if (const int rc = vqfield::ParseCommandLine(app, argc, argv); rc >= 0) return rc;
    const char* path = fileName.c_str();
    ns2vq::Q70File file;
    if (*verify) {
        const ns2vq::ReadResult r = ns2vq::VerifyFile(path, &file);
        if (!r) return Failed(path, r);
        std::size_t devices = 0, routers = 0;
        for (const auto& s : file.sections) {
            devices += 1 + s.nearDevices.size() + s.farDevices.size();
            routers += s.router ? 1 : 0;
        }
        std::printf("%s: OK, version %u.%u, %zu sections, %zu devices, %zu routers\n", path, file.major,
                    file.minor, file.sections.size(), devices, routers);
        return 0;
    }
    {  // dump
        const ns2vq::ReadResult r = ns2vq::VerifyFile(path, &file);
        if (!r) return Failed(path, r);
        std::printf("creator \"%s\"  database version %u.%u  %zu sections\n", file.creator.c_str(),
                    file.major, file.minor, file.sections.size());
        for (std::size_t i = 0; i < file.sections.size(); ++i) {
            const auto& s = file.sections[i];
            std::printf("section %zu: VQ \"%s\" (Sarvik ID \"%s\", location \"%s\", channel %d)\n", i + 1,
                        s.vq.name.c_str(), s.vq.sarvikId.c_str(), s.vq.location.c_str(), s.vq.channelId);
            PrintDevice("VQ", s.vq);
            for (const auto& d : s.nearDevices) PrintDevice("near device", d);
            if (s.router)
                std::printf("  %-12s %s  handle %d  channels %d -> %d\n", "router", s.router->name.c_str(),
                            s.router->handle, s.router->nearChannelId, s.router->farChannelId);
            for (const auto& d : s.farDevices) PrintDevice("far device", d);
        }
        return 0;
    }
}
