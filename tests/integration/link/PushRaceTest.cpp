// A request pushed while the exchange before it is being finished must still be sent and
// reported: the page polls from a timer, not from inside a report.
#include "../device/ChainRig.h"
#include <atomic>
#include <gtest/gtest.h>

namespace {

TEST(TeleThreadPush, RequestPushedAsTheExchangeBeforeEndsIsNotLost)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    ASSERT_TRUE(rig.device);
    ASSERT_TRUE(rig.Start());
    TTeleThread &thread = *rig.thread;
    TeleRequester first, second;
    quint8 a[4] = {}, b[4] = {};
    std::atomic<bool> pushed{false};
    // The answer's data are logged after they have been taken and before the report: the
    // moment another thread may push.
    thread.OnLog = [&](const QString &kind, const QString &) {
        if (kind == QLatin1String("Ex") && !pushed.exchange(true))
            thread.Push(&second, TeleDone, 0xAE, 55, 5, 0x30, 4, b, 4);
    };
    ASSERT_TRUE(thread.Push(&first, TeleDone, 0xAE, 55, 5, 0x30, 4, a, 4));
    TeleReport report;
    ASSERT_TRUE(first.Wait(&report, 5000));
    EXPECT_TRUE(report.Ok());
    ASSERT_TRUE(pushed);
    ASSERT_TRUE(second.Wait(&report, 5000)) << "the second request was dropped";
    EXPECT_TRUE(report.Ok());
    thread.OnLog = nullptr;
}

} // namespace
