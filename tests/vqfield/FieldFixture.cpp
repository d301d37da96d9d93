#include "FieldFixture.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

extern char** environ;

namespace vqtest {

std::string ViaName(const ::testing::TestParamInfo<Via>& info) {
    return info.param == Via::InProcess ? "InProcess" : "Daemon";
}

Daemon::Daemon(int units) {
    const char* dir = std::getenv("VQ_TEST_BIN_DIR");
    const std::string exe = std::string(dir ? dir : VQFIELD_BIN_DIR) + "/vqsim";
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    const std::string n = std::to_string(units);
    const char* argv[] = {exe.c_str(), "serve", "--port", "0", "--units", n.c_str(), nullptr};
    const int rc = posix_spawn(&pid_, exe.c_str(), &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        throw std::runtime_error("cannot start " + exe);
    }
    FILE* f = fdopen(out[0], "r");
    char line[256] = {};
    if (!fgets(line, sizeof line, f) || std::sscanf(line, "vqsim listening on 127.0.0.1:%d", &port_) != 1) {
        fclose(f);
        Kill();
        throw std::runtime_error("vqsim did not start");
    }
    fclose(f);  // the daemon's later lines go to a closed pipe, which it never checks
}

Daemon::~Daemon() {
    Kill();
}

void Daemon::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

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

vqfield::Bytes EventList(std::size_t records) {
    vqfield::Bytes b(records * 34);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t(i * 7 + 3);
    return b;
}

INSTANTIATE_TEST_SUITE_P(Field, FieldTest, ::testing::Values(Via::InProcess, Via::Daemon), ViaName);

}  // namespace vqtest
