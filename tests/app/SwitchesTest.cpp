#include <gtest/gtest.h>

#include <vector>

#include "app/SetupApp.h"

namespace {
struct SwitchCase {
    std::vector<const char*> args;  // after the program name
    bool interp;
    bool maint;
};

class Switches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, FirstTwoCharactersCaseSensitiveOneFlagPerArgument) {
    std::vector<const char*> argv{"vqwizard"};
    for (const char* a : GetParam().args) argv.push_back(a);
    const CSetupApp f = ParseSwitches(int(argv.size()), argv.data());
    EXPECT_EQ(f.m_bInterpretedProgram, GetParam().interp);
    EXPECT_EQ(f.m_bMaintenance, GetParam().maint);
}

INSTANTIATE_TEST_SUITE_P(Table, Switches,
                         ::testing::Values(SwitchCase{{}, false, false},          //
                                           SwitchCase{{"-i"}, true, false},       //
                                           SwitchCase{{"-d"}, false, true},       //
                                           SwitchCase{{"-d", "-i"}, true, true},  //
                                           SwitchCase{{"-interp"}, true, false},  // only two characters count
                                           SwitchCase{{"-dump"}, false, true},    //
                                           SwitchCase{{"-di"}, false, true},      // one flag per argument
                                           SwitchCase{{"-I"}, false, false},      // case-sensitive
                                           SwitchCase{{"-D"}, false, false},      //
                                           SwitchCase{{"-x"}, false, false},      //
                                           SwitchCase{{"i"}, false, false},       //
                                           SwitchCase{{"-"}, false, false},       //
                                           SwitchCase{{""}, false, false},        //
                                           SwitchCase{{"x", "-i", "--d"}, true, false}));
}  // namespace
