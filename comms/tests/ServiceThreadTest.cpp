#include "LogCapture.h"
#include "WaitFor.h"
#include "cServiceThread.h"

#include <atomic>
#include <boost/asio/post.hpp>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace
{
// A service thread with counters on its start and end hooks.
struct Service
{
    boost::asio::io_context io;
    std::atomic<int> nStarted{0};
    std::atomic<int> nEnded{0};
    cServiceThread thread{"TestService", io, [this] { ++nStarted; }, [this] { ++nEnded; }};

    // Posts a task and waits until the service has run it.
    bool Runs()
    {
        auto pRan = std::make_shared<std::atomic<bool>>(false);
        boost::asio::post(io, [pRan] { *pRan = true; });
        return WaitFor([pRan] { return pRan->load(); });
    }
};
} // namespace

// Work posted before Stop still runs; with no work at all the run lasts until
// Stop; the service can be started again after each stop.
TEST(ServiceThread, StopRunsQueuedWorkFirstAndTheServiceStartsAgain)
{
    Service service;
    ASSERT_TRUE(service.thread.Start());
    EXPECT_TRUE(service.thread.Start());  // already running
    std::atomic<int> nRan{0};
    for (int i = 0; i < 100; ++i)
        boost::asio::post(service.io, [&nRan] { ++nRan; });
    service.thread.Stop();
    EXPECT_EQ(nRan, 100);
    EXPECT_EQ(service.nStarted, 1);
    EXPECT_EQ(service.nEnded, 1);
    EXPECT_FALSE(service.thread.IsRunning());

    ASSERT_TRUE(service.thread.Start());
    ASSERT_TRUE(WaitFor([&] { return service.nStarted == 2; }));
    EXPECT_TRUE(service.Runs());
    service.thread.Stop();
    EXPECT_EQ(service.nEnded, 2);
    service.thread.Stop();  // harmless when stopped
}

// A completion that throws ends the run with an ERR line naming the thread;
// Stop then returns without the closed-event wait, and the stop it queues does
// not end the next run.
TEST(ServiceThread, ExceptionFromACompletionEndsTheRunAndIsLogged)
{
    LogCapture log;
    Service service;
    ASSERT_TRUE(service.thread.Start());
    boost::asio::post(service.io, [] { throw std::runtime_error("bad completion"); });
    ASSERT_TRUE(WaitFor([&] { return log.Contains("(TestService) ended by an exception: bad completion", DBG_ERR); }))
        << log.Dump();
    EXPECT_TRUE(WaitFor([&] { return service.nEnded == 1; }));

    const auto start = std::chrono::steady_clock::now();
    service.thread.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));

    ASSERT_TRUE(service.thread.Start());
    EXPECT_TRUE(service.Runs());
    service.thread.Stop();
    EXPECT_EQ(service.nEnded, 2);
}
