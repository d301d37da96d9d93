// Starting a `vqsim serve` daemon as a child process, for tests and
// benchmarks that reach the field over TCP.
#pragma once

#include <sys/types.h>

#include <string>

namespace vqfield {

// A running `vqsim serve --port 0 --units N`, on the free port it reports;
// killed and reaped on destruction. Throws std::runtime_error when the
// program cannot start or does not report its port.
class DaemonProcess {
public:
    DaemonProcess(const std::string& exe, int units);
    ~DaemonProcess();
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    int port() const { return port_; }
    std::string endpoint() const { return "tcp:127.0.0.1:" + std::to_string(port_); }
    // Kills the daemon now (a daemon that dies in the middle of a session).
    void Kill();

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace vqfield
