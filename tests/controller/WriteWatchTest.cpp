// A confirmed write is settled by the sweep's next read-back of its address,
// also after the parameters were read as a whole through the same link (as
// File > Save Parameters and Restore Parameters read them), which makes no
// records for the table.

#include "tests/controller/ControllerRig.h"

#include "params/BoardParameters.h"

#include <gtest/gtest.h>

namespace controllertest {
namespace {

TEST(WriteWatch, AWriteAfterReadingTheWholeSetIsSettledByTheNextReadBack)
{
    Board board;
    ControllerRig rig;
    rig.machine.addPort("ttyS0", "", "ftdi_sio", -1, board.path());
    rig.prefs.values = {{"serialPortName", "ttyS0"}, {"serialPortPath", rig.node("ttyS0")}};
    rig.portMode = PortMode::Polling;
    rig.start();
    ASSERT_TRUE(rig.main.runUntilNext(0, &Delivered::measurement)) << "the link is up";

    for (int save = 0; save < 2; ++save) // what File > Save Parameters reads
        ASSERT_TRUE(params::readParameters(rig.port()).complete());

    rig.selectedParameterNumber.text = "2";
    rig.valueToWrite.text = "4321";
    rig.alert.answer = 1;
    rig.ctl().writeParameter();
    ASSERT_EQ(rig.ctl().parameterState(2), ParameterState::Waiting);
    std::size_t seen = rig.main.delivered.size();
    const bool readBack = rig.main.loop.runUntil(
        [&] {
            for (; seen < rig.main.delivered.size(); ++seen) {
                const Delivered& d = rig.main.delivered[seen];
                if (d.parameter() && d["paddress"] == 2 && d["pdata"] == 4321)
                    return true;
            }
            return false;
        },
        10s);
    ASSERT_TRUE(readBack) << "the sweep reads the written value back";
    EXPECT_EQ(rig.ctl().parameterState(2), ParameterState::Current) << "settled by that read-back";
}

} // namespace
} // namespace controllertest
