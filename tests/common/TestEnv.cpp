// Linked into every test program: the environment the tests expect, set
// before main runs. Widget tests run offscreen; tests that start the
// project's tools find them in the bin folder; tests that read sample files
// find the source tree. The profile (QSettings) goes to a private folder, so
// that no test reads or changes the user's own settings.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {
struct TestEnv {
    std::string configDir;
    TestEnv() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("VQ_TEST_BIN_DIR", VQ_TEST_BIN_DIR_DEFAULT, 0);
        setenv("VQ_SOURCE_DIR", VQ_SOURCE_DIR_DEFAULT, 0);
        char pattern[] = "/tmp/vqtest-config-XXXXXX";
        if (mkdtemp(pattern)) {
            configDir = pattern;
            setenv("XDG_CONFIG_HOME", pattern, 1);
        }
    }
    ~TestEnv() {
        std::error_code ec;
        if (!configDir.empty()) std::filesystem::remove_all(configDir, ec);
    }
};
const TestEnv g_testEnv;
}  // namespace
