#include "util/Wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

namespace {
// Keeps the event loop running until the deadline, so windows repaint and
// the Cancel dialog answers while we wait.
class EventWaiter : public IWaiter {
public:
    void Wait(int ms) override {
        if (ms <= 0) return;
        if (!QCoreApplication::instance()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return;
        }
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

IWaiter* g_waiter = nullptr;
}  // namespace

void WaitMs(int ms) {
    static EventWaiter defaultWaiter;
    (g_waiter ? *g_waiter : static_cast<IWaiter&>(defaultWaiter)).Wait(ms);
}

void SetWaiter(IWaiter* waiter) {
    g_waiter = waiter;
}
