#include "vqfield/daemon.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

extern char** environ;

namespace vqfield {

DaemonProcess::DaemonProcess(const std::string& exe, int units) {
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
        pid_ = -1;
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

DaemonProcess::~DaemonProcess() {
    Kill();
}

void DaemonProcess::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace vqfield
