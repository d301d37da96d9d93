// Runs the daemon's frame parser and request handling over arbitrary bytes:
// the input is read as a stream of frames, as a client would send them, and
// each whole request goes to a fresh field of two units. Built as a
// libFuzzer target with -DVQ_FUZZ=ON and clang; otherwise as a driver that
// reads every file (or every file in every folder) named on its command line.
//
// Anything but a FieldError escaping the handler is a finding: the daemon
// must turn every bad request into a clear error reply.
#include <cstdint>
#include <string>

#include "../src/wire.h"
#include "vqfield/field.h"
#include "vqfield/fuzz_driver.h"

void FuzzOne(const std::uint8_t* data, std::size_t size) {
    vqfield::Field field;
    field.Populate(2);
    field.Handle({{"op", "settings"}, {"answerTimeoutMs", 1}}, {}, nullptr, {});
    for (int frames = 0; frames < 16 && size >= 8; ++frames) {
        std::uint32_t jl = 0, bl = 0;
        if (!vqfield::wire::CheckHead(data, &jl, &bl).empty()) return;  // the daemon closes here
        data += 8;
        size -= 8;
        if (jl > size) return;
        const std::string text(reinterpret_cast<const char*>(data), jl);
        data += jl;
        size -= jl;
        const std::size_t take = std::min<std::size_t>(bl, size);
        const vqfield::Bytes in(data, data + take);
        data += take;
        size -= take;
        vqfield::Json req;
        if (!vqfield::wire::ParseText(text, &req).empty()) continue;  // answered with an error
        // Slow settings would only make the run wait, not reach new code.
        const auto op = req.find("op");
        if (op != req.end() && (*op == "settings" || *op == "rate")) continue;
        vqfield::Bytes out;
        try {
            field.Handle(req, in, &out, {});
        } catch (const vqfield::FieldError&) {
        }
        (void)vqfield::wire::FrameText(req);
    }
}
