#include "util/WaitCursor.h"

namespace {
std::function<void()> g_push;
std::function<void()> g_pop;
}  // namespace

void SetWaitCursorHooks(std::function<void()> push, std::function<void()> pop) {
    g_push = std::move(push);
    g_pop = std::move(pop);
}

CWaitCursor::CWaitCursor() {
    if (g_push && g_pop) {
        g_push();
        m_pushed = true;
    }
}

CWaitCursor::~CWaitCursor() {
    if (m_pushed && g_pop) g_pop();
}
