// The hourglass for the length of a scope, restored on every path. The
// window layer sets the hooks; without them the guard does nothing.
#pragma once

#include <functional>

void SetWaitCursorHooks(std::function<void()> push, std::function<void()> pop);

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    bool m_pushed = false;
};
