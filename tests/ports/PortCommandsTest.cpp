// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/PortCommands.h"

#include "support/SpyPorts.h"

#include <gtest/gtest.h>

namespace marovane {
namespace {

using Trace = std::vector<std::string>;
using testing::SpyInput;
using testing::SpyOutput;

TEST(PortCommands, ListsOutputsFromTheVirtualPortAndInputsFromZero) {
    SpyOutput output;
    output.names = {"A", "B"};
    EXPECT_EQ(listOutputEntries(output), (std::vector<DeviceEntry>{{"virtual", ""}, {"A", "A"}, {"B", "B"}}));
    EXPECT_EQ(output.trace, (Trace{"DeviceCount", "DeviceID=-1", "ProductName", "DeviceID=0", "ProductName",
                                   "DeviceID=1", "ProductName"}));
    SpyInput input;
    EXPECT_TRUE(listInputEntries(input).empty());
    EXPECT_EQ(input.trace, (Trace{"DeviceCount"}));
}

struct OpenCase {
    std::int16_t state;
    std::int16_t device;
    int entry;
    Trace trace;
};

TEST(PortCommands, OpenMidiOutClosesWhenOpenOrOnTheVirtualPort) {
    const OpenCase cases[] = {
        {0, -1, 0, {"State?", "DeviceID?", "Action=2", "DeviceID=-1", "Action=1"}},
        {0, 0, 2, {"State?", "DeviceID?", "DeviceID=1", "Action=1"}},
        {1, 1, 1, {"State?", "DeviceID?", "Action=2", "DeviceID=0", "Action=1"}},
        {2, 0, 1, {"State?", "DeviceID?", "Action=2", "DeviceID=0", "Action=1"}},
    };
    for (const auto& c : cases) {
        SpyOutput output;
        output.state = c.state;
        output.deviceId = c.device;
        OpenMidiOut(output, c.entry);
        EXPECT_EQ(output.trace, c.trace) << "state " << c.state << " device " << c.device;
        EXPECT_EQ(output.state, 1);  // open, not started
    }
}

TEST(PortCommands, OpenMidiInClosesOnlyWhenOpenAndLeavesNoDeviceClosed) {
    const OpenCase cases[] = {
        {0, 0, 1, {"State?", "DeviceID=1", "Action=1"}},
        {1, 0, 0, {"State?", "Action=2", "DeviceID=0", "Action=1"}},
        {2, 1, 2, {"State?", "Action=2", "DeviceID=2", "Action=1"}},
        {0, 0, -1, {"State?", "DeviceID=-1"}},
        {2, 0, -1, {"State?", "Action=2", "DeviceID=-1"}},
    };
    for (const auto& c : cases) {
        SpyInput input;
        input.state = c.state;
        OpenMidiIn(input, c.entry);
        EXPECT_EQ(input.trace, c.trace) << "state " << c.state << " entry " << c.entry;
        EXPECT_EQ(input.state, c.entry >= 0 ? 1 : 0);
    }
}

TEST(PortCommands, StartAndExitWriteEveryActionWhateverTheState) {
    SpyInput input;
    SpyOutput output;
    StartPorts(input, output);
    ClosePortsForExit(input, output);
    EXPECT_EQ(input.trace, (Trace{"Action=4", "Action=5", "Action=2"}));
    EXPECT_EQ(output.trace, (Trace{"Action=4", "Action=2"}));
}

TEST(PortCommands, UnloadStopsOnlyAStartedInputAndClosesOnlyAnOpenOne) {
    const std::pair<std::int16_t, Trace> cases[] = {
        {0, {"State?", "State?", "State?"}},
        {1, {"State?", "State?", "State?", "Action=2"}},
        {2, {"State?", "State?", "Action=5", "State?", "Action=2"}},
    };
    for (const auto& [state, trace] : cases) {
        SpyInput input;
        SpyOutput output;
        input.state = state;
        ClosePortsForUnload(input, output);
        EXPECT_EQ(input.trace, trace) << "state " << state;
        EXPECT_EQ(output.trace, Trace{"Action=2"});
    }
}

TEST(PortCommands, ErrorsShownAreAllButZeroAndEight) {
    for (std::int16_t code : {0, 8}) EXPECT_FALSE(isShownPortError(code)) << code;
    for (std::int16_t code : {1, 2, 7, 9, -1, -32768, 32767}) EXPECT_TRUE(isShownPortError(code)) << code;
}

}  // namespace
}  // namespace marovane
