// GStreamer set up once, whichever threads ask at the same moment, and the
// elements the sender and the receiver build present on this machine.
#include "cGstRuntime.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

TEST(GstRuntime, ThreadsAskingAtOnceAllGetTheOneRuntime)
{
    std::vector<std::thread> threads;
    std::vector<int> results(8, -1);
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&results, i] {
            std::string sError;
            results[i] = cGstRuntime::Init(sError) ? 1 : 0;
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int nResult : results)
        EXPECT_EQ(nResult, 1);

    std::string sError;
    EXPECT_TRUE(cGstRuntime::HaveElements({"appsrc", "x264enc", "mpegtsmux", "rtph264pay", "appsink", "udpsrc",
                                           "tsdemux", "h264parse", "avdec_h264", "videoconvert"},
                                          sError))
        << sError;
    EXPECT_FALSE(cGstRuntime::HaveElements({"appsrc", "no-such-element"}, sError));
    EXPECT_EQ(sError, "GStreamer element no-such-element is missing");
    EXPECT_EQ(cGstRuntime::MissingText("x264enc"),
              "GStreamer element x264enc is missing (Debian package gstreamer1.0-plugins-ugly)");
}
