// The real box operations against a simulated box on a loopback address of their own, with a
// string file whose texts are "[key]", so that every localized line shows its key.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/temp_program_dir.h"
#include "tools/box_sim/box_sim.h"

class BoxOpsTest : public ::testing::Test {
protected:
    // nThird picks the 127.0.<nThird>.x block, so that test programs running side by side
    // never share an address.
    explicit BoxOpsTest(int nThird);

    // The sim's commands since the last call.
    std::vector<std::string> TakeCommands();

    CTempProgramDir dir;
    CSimBox sim;
    std::string strSimAddress;
};
