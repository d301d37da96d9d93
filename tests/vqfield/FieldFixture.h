// Reaches a field either in-process or through a real vqsim daemon, so the
// same cases run against both.
#pragma once

#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>

#include "vqfield/client.h"
#include "vqfield/daemon.h"

namespace vqtest {

enum class Via { InProcess, Daemon };

// The code of the field error a call raises; Code(0) when it raises none.
inline vqfield::Code CodeOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const vqfield::FieldError& e) {
        return e.code();
    }
    return vqfield::Code(0);
}
std::string ViaName(const ::testing::TestParamInfo<Via>& info);

// The vqsim built beside the tests, serving this many units.
class Daemon : public vqfield::DaemonProcess {
public:
    explicit Daemon(int units = 0);
};

class FieldTest : public ::testing::TestWithParam<Via> {
protected:
    void SetUp() override;
    void TearDown() override;
    // A second, independent connection to the same field.
    std::unique_ptr<vqfield::Client> Connect();

    std::shared_ptr<vqfield::Field> field_;
    std::unique_ptr<Daemon> daemon_;
    std::unique_ptr<vqfield::Client> client_;
};

vqfield::Bytes ReadSourceFile(const std::string& relative);
// The bytes the load sends for a program compiled from QPL source against
// the demo unit's types: the .x file's digit pairs decoded, plus the zero
// byte it always adds. Throws with the compiler's message on an error.
vqfield::Bytes Compiled(const std::string& source);
// A 578-byte event list: 17 records of 34 bytes.
vqfield::Bytes EventList(std::size_t records = 17);

}  // namespace vqtest
