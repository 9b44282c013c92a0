#include "DbgLog.h"
#include "LogCapture.h"
#include "cRetryLog.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace
{
// One attempt that logs an ERR line with the given text and a WRN line.
void FailWith(cRetryLog& retries, const std::string& sKey, const std::string& sText)
{
    cRetryLog::cAttempt attempt(retries, sKey);
    DbgLog(DBG_ERR, "Device::Open", 47, sText.c_str());
    DbgLog(DBG_WRN, "Device::Scan", 12, "nothing attached");
    attempt.End(false);
}
} // namespace

// A retried failure is written at its levels once; the same lines again go to
// DBG, in order; a change is written in full; a success is written and makes
// the next failure news again.
TEST(RetryLog, RepeatedFailureIsWrittenOnceUntilItChangesOrSucceeds)
{
    LogCapture log;
    cRetryLog retries;
    for (int n = 0; n < 5; ++n)
        FailWith(retries, "stick 0", "no device");
    EXPECT_EQ(log.Count("Device::Open (47): no device", DBG_ERR), 1) << log.Dump();
    EXPECT_EQ(log.Count("Device::Open (47): no device", DBG_DBG), 4);
    EXPECT_EQ(log.Count("Device::Scan (12): nothing attached", DBG_WRN), 1);
    ASSERT_EQ(log.Lines().size(), 10u);
    EXPECT_EQ(log.Lines()[3].sText, "Device::Scan (12): nothing attached");

    log.Clear();
    FailWith(retries, "stick 0", "permission denied");
    FailWith(retries, "stick 0", "permission denied");
    FailWith(retries, "stick 0", "no device");
    EXPECT_EQ(log.Count("permission denied", DBG_ERR), 1) << log.Dump();
    EXPECT_EQ(log.Count("no device", DBG_ERR), 1);

    log.Clear();
    {
        cRetryLog::cAttempt attempt(retries, "stick 0");
        DbgLog(DBG_INF, "Device::Open", 60, "opened");
        attempt.End(true);
    }
    FailWith(retries, "stick 0", "no device");
    EXPECT_EQ(log.Count("Device::Open (60): opened", DBG_INF), 1) << log.Dump();
    EXPECT_EQ(log.Count("no device", DBG_ERR), 1);
}

// Keys keep their own failures: attempts of two devices taking turns are each
// written once. An attempt left without End counts as a failure. Past the
// bound, the key that failed longest ago is forgotten.
TEST(RetryLog, EachKeyRemembersItsOwnFailure)
{
    LogCapture log;
    cRetryLog retries;
    for (int n = 0; n < 3; ++n)
    {
        FailWith(retries, "stick 0", "no device");
        FailWith(retries, "stick 1", "no device");
        cRetryLog::cAttempt attempt(retries, "stick 2");
        DbgLog(DBG_ERR, "Device::Open", 47, "busy");
    }
    EXPECT_EQ(log.Count("no device", DBG_ERR), 2) << log.Dump();
    EXPECT_EQ(log.Count("busy", DBG_ERR), 1);

    log.Clear();
    for (size_t n = 0; n < cRetryLog::kMostKeys; ++n)
        FailWith(retries, "other " + std::to_string(n), "no device");
    FailWith(retries, "stick 0", "no device");
    EXPECT_EQ(log.Count("no device", DBG_ERR), static_cast<int>(cRetryLog::kMostKeys) + 1);
}

// Only the attempt's own thread is held back; an attempt inside another hands
// its lines to the outer one, which decides for both.
TEST(RetryLog, HoldsOnlyItsOwnThreadAndNests)
{
    LogCapture log;
    cRetryLog retries;
    cRetryLog::cAttempt outer(retries, "outer");
    std::thread([] { DbgLog(DBG_ERR, "Other::Thread", 1, "meanwhile"); }).join();
    EXPECT_TRUE(log.Contains("Other::Thread (1): meanwhile", DBG_ERR));
    {
        cRetryLog::cAttempt inner(retries, "inner");
        DbgLog(DBG_ERR, "Device::Open", 47, "inner line");
        inner.End(false);
    }
    EXPECT_FALSE(log.Contains("inner line")) << log.Dump();
    outer.End(false);
    EXPECT_TRUE(log.Contains("Device::Open (47): inner line", DBG_ERR));

    // Only warnings and errors make a failure: an information line that
    // changes (or that a raised threshold lets through) does not.
    log.Clear();
    for (int n = 0; n < 2; ++n)
    {
        cRetryLog::cAttempt attempt(retries, "quiet");
        DbgLog(DBG_INF, "Device::Open", 30, n == 0 ? "try 1" : "try 2");
        DbgLog(DBG_ERR, "Device::Open", 47, "no device");
    }
    EXPECT_EQ(log.Count("no device", DBG_ERR), 1) << log.Dump();
    EXPECT_TRUE(log.Contains("Device::Open (30): try 2", DBG_DBG));
}
