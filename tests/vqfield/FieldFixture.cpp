#include "FieldFixture.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "qpicg/compiler.h"

namespace vqtest {

std::string ViaName(const ::testing::TestParamInfo<Via>& info) {
    return info.param == Via::InProcess ? "InProcess" : "Daemon";
}

namespace {

std::string VqsimPath() {
    const char* dir = std::getenv("VQ_TEST_BIN_DIR");
    return std::string(dir ? dir : VQFIELD_BIN_DIR) + "/vqsim";
}

}  // namespace

Daemon::Daemon(int units) : vqfield::DaemonProcess(VqsimPath(), units) {}

void FieldTest::SetUp() {
    if (GetParam() == Via::InProcess) {
        field_ = std::make_shared<vqfield::Field>();
        client_ = std::make_unique<vqfield::Client>(vqfield::ConnectInProcess(field_));
    } else {
        daemon_ = std::make_unique<Daemon>();
        client_ = std::make_unique<vqfield::Client>(vqfield::Connect(daemon_->endpoint()));
    }
    client_->SetAnswerTimeout(150);
}

void FieldTest::TearDown() {
    client_.reset();
    daemon_.reset();
}

std::unique_ptr<vqfield::Client> FieldTest::Connect() {
    if (daemon_) return std::make_unique<vqfield::Client>(vqfield::Connect(daemon_->endpoint()));
    return std::make_unique<vqfield::Client>(vqfield::ConnectInProcess(field_));
}

vqfield::Bytes ReadSourceFile(const std::string& relative) {
    const char* src = std::getenv("VQ_SOURCE_DIR");
    std::ifstream in(std::string(src ? src : VQFIELD_SOURCE_DIR) + "/" + relative, std::ios::binary);
    if (!in) throw std::runtime_error("missing " + relative);
    return vqfield::Bytes(std::istreambuf_iterator<char>(in), {});
}

vqfield::Bytes Compiled(const std::string& source) {
    static const qpicg::TypeSet types = [] {
        const char* src = std::getenv("VQ_SOURCE_DIR");
        qpicg::TypeSet t;
        qpicg::Diagnostic error;
        if (!qpicg::LoadTypeFolder(std::string(src ? src : VQFIELD_SOURCE_DIR) + "/demo/types", &t, &error))
            throw std::runtime_error(error.Text());
        return t;
    }();
    const qpicg::CompileResult r = qpicg::Compile(source, "test.qpl", types);
    if (!r.ok) throw std::runtime_error(r.error.Text());
    auto bytes = qpx::FromHex(qpx::ToHex(qpx::Encode(r.program)));
    bytes->push_back(0);
    return *bytes;
}

vqfield::Bytes EventList(std::size_t records) {
    vqfield::Bytes b(records * 34);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t(i * 7 + 3);
    return b;
}

INSTANTIATE_TEST_SUITE_P(Field, FieldTest, ::testing::Values(Via::InProcess, Via::Daemon), ViaName);

}  // namespace vqtest
