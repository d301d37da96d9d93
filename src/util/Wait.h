// Waits on the user-interface thread keep the window alive: they dispatch
// events until the deadline. Tests replace the waiter so that no test sleeps
// through retries; the replacement records every wait.
#pragma once

#include <functional>
#include <vector>

class IWaiter {
public:
    virtual ~IWaiter() = default;
    virtual void Wait(int ms) = 0;
};

// Waits ms milliseconds with the waiter in force (an event-dispatching wait
// by default).
void WaitMs(int ms);
void SetWaiter(IWaiter* waiter);  // not owned; null restores the default

// Returns at once and records the requested waits.
class RecordingWaiter : public IWaiter {
public:
    void Wait(int ms) override {
        waits.push_back(ms);
        if (onWait) onWait(ms);
    }
    std::vector<int> waits;
    std::function<void(int)> onWait;  // lets a test act "during" a wait
};
