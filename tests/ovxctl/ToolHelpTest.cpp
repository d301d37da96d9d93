// The command-line conventions every component tool keeps: --help says what
// the tool is for, its commands, the environment it reads and its exit
// codes, and exits 0; --version prints the version; a wrong option is named
// and exits 2.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct ToolOutput {
    int rc = -1;
    std::string out;  // standard output and error together
};

ToolOutput Tool(const std::string& tool, const std::string& args) {
    const std::string cmd =
        "'" + std::string(OVX_TEST_BIN_DIR) + "/" + tool + "' " + args + " 2>&1 </dev/null";
    ToolOutput r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(ToolConventions, HelpVersionAndWrongOptions) {
    struct Case {
        const char* tool;
        std::vector<std::string> helpMentions;  // commands and environment variables
    } cases[] = {
        {"ovxctl", {"import", "list", "show", "export", "remove", "OVX_HOME"}},
        {"vqsim", {"serve", "status", "pin", "break", "apb", "--port", "VQSIM_PORT"}},
        {"ns2vq", {"verify", "dump", "Environment: none"}},
        {"xifpack", {"FILE.xif", ".xfb", "Environment: none"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        for (const char* help : {"--help", "-h"}) {
            const ToolOutput r = Tool(c.tool, help);
            EXPECT_EQ(r.rc, 0) << r.out;
            EXPECT_NE(r.out.find("Exit codes:"), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("2  wrong usage"), std::string::npos) << r.out;
            for (const auto& word : c.helpMentions) EXPECT_NE(r.out.find(word), std::string::npos) << word;
        }
        const ToolOutput version = Tool(c.tool, "--version");
        EXPECT_EQ(version.rc, 0);
        EXPECT_EQ(version.out, std::string(VQ_TEST_VERSION) + "\n");
        const ToolOutput wrong = Tool(c.tool, "--no-such-option");
        EXPECT_EQ(wrong.rc, 2);
        EXPECT_NE(wrong.out.find("--no-such-option"), std::string::npos) << wrong.out;
        const ToolOutput late =
            Tool(c.tool, c.tool == std::string("ovxctl") ? "import --no-such-option" : "x --bad");
        EXPECT_EQ(late.rc, 2);
        EXPECT_NE(late.out.find(c.tool == std::string("ovxctl") ? "--no-such-option" : "--bad"),
                  std::string::npos)
            << late.out;
        EXPECT_EQ(Tool(c.tool, "").rc, 2);  // nothing to do is wrong usage too
    }
}

}  // namespace
