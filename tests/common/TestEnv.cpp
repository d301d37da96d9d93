// Linked into every test program: the environment the tests expect, set
// before main runs unless the caller already set it. Widget tests run
// offscreen; tests that start the project's tools find them in the bin
// folder; tests that read sample files find the source tree.
#include <cstdlib>

namespace {
struct TestEnv {
    TestEnv() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("VQ_TEST_BIN_DIR", VQ_TEST_BIN_DIR_DEFAULT, 0);
        setenv("VQ_SOURCE_DIR", VQ_SOURCE_DIR_DEFAULT, 0);
    }
};
const TestEnv g_testEnv;
}  // namespace
