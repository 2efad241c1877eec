// The protocol's waits: what the program runs with, and that a test's
// shortening ends with the test.

#include "process/ProtocolTiming.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(ProtocolTiming, DefaultsAreTheCamerasOwnWaits)
{
    const ProtocolTiming timing = CurrentProtocolTiming();
    struct Case {
        const char* name;
        int actual_ms;
        int expected_ms;
    };
    const Case cases[] = {
        {"search gap", timing.searchGap_ms, 2000},
        {"search longest", timing.searchLongest_ms, 30000},
        {"chunk pause", timing.chunkPause_ms, 100},
        {"connect bound", timing.connectBound_ms, 20000},
        {"address-list send and receive time-out", timing.onvifSendTimeout_ms, 5000},
        {"firmware send stall", timing.firmwareSendStall_ms, 60000},
        {"firmware reply wait", timing.firmwareReplyWait_ms, 60000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual_ms, c.expected_ms) << c.name;
    EXPECT_EQ(timing, ProtocolTiming{});
}

TEST(ProtocolTiming, ShorteningLastsAsLongAsItsScopeAndNests)
{
    ProtocolTiming quick;
    quick.searchGap_ms = 300;
    {
        ScopedProtocolTiming outer(quick);
        EXPECT_EQ(CurrentProtocolTiming().searchGap_ms, 300);
        ProtocolTiming quicker = quick;
        quicker.chunkPause_ms = 5;
        {
            ScopedProtocolTiming inner(quicker);
            EXPECT_EQ(CurrentProtocolTiming(), quicker);
        }
        EXPECT_EQ(CurrentProtocolTiming(), quick);
    }
    EXPECT_EQ(CurrentProtocolTiming(), ProtocolTiming{});
}

}  // namespace
}  // namespace orvane
