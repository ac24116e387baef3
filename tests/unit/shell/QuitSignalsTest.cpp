#include "shell/QuitSignals.h"
#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>

namespace {
volatile sig_atomic_t g_before = 0;
extern "C" void beforeHandler(int number) { g_before = number; }
} // namespace

TEST(QuitSignals, EachEndingSignalArrivesInTheEventLoopAndTheOldHandlerComesBack)
{
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction mine = {}, original = {}, now = {};
        mine.sa_handler = beforeHandler;
        sigemptyset(&mine.sa_mask);
        ASSERT_EQ(::sigaction(number, &mine, &original), 0);
        {
            QuitSignals quit;
            ASSERT_TRUE(quit.IsActive()) << number;
            QuitSignals second; // only one may own the handlers
            EXPECT_FALSE(second.IsActive()) << number;
            QSignalSpy spy(&quit, &QuitSignals::Received);
            ::raise(number);
            ::raise(number);
            ASSERT_TRUE(spy.count() > 0 || spy.wait(5000)) << number;
            QCoreApplication::processEvents();
            ASSERT_EQ(spy.count(), 2) << number;
            EXPECT_EQ(spy.at(0).at(0).toInt(), number);
            EXPECT_EQ(g_before, 0) << "the previous handler is not called while replaced";
        }
        ASSERT_EQ(::sigaction(number, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, &beforeHandler) << number;
        ::raise(number);
        EXPECT_EQ(g_before, number);
        g_before = 0;
        ASSERT_EQ(::sigaction(number, &original, nullptr), 0);
    }
}
