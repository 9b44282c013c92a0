#include "cGstRuntime.h"

#include "DbgLog.h"

#include <gst/gst.h>
#include <mutex>
#include <string_view>

namespace
{
struct Provider
{
    std::string_view sElement;
    const char* szPackage;
};

// Debian 12's packages of the elements the sender and the receiver build.
constexpr Provider kProviders[] = {
    {"x264enc", "gstreamer1.0-plugins-ugly"},
    {"avdec_h264", "gstreamer1.0-libav"},
    {"mpegtsmux", "gstreamer1.0-plugins-bad"},
    {"tsdemux", "gstreamer1.0-plugins-bad"},
    {"h264parse", "gstreamer1.0-plugins-bad"},
    {"rtph264pay", "gstreamer1.0-plugins-good"},
    {"rtph264depay", "gstreamer1.0-plugins-good"},
    {"rtpjitterbuffer", "gstreamer1.0-plugins-good"},
    {"rtspsrc", "gstreamer1.0-plugins-good"},
    {"udpsrc", "gstreamer1.0-plugins-good"},
    {"udpsink", "gstreamer1.0-plugins-good"},
    {"appsrc", "gstreamer1.0-plugins-base"},
    {"appsink", "gstreamer1.0-plugins-base"},
    {"videoconvert", "gstreamer1.0-plugins-base"},
    {"videoscale", "gstreamer1.0-plugins-base"},
    {"filesrc", "libgstreamer1.0-0"},
    {"queue", "libgstreamer1.0-0"},
    {"tee", "libgstreamer1.0-0"},
    {"capsfilter", "libgstreamer1.0-0"},
};

std::once_flag s_InitOnce;
bool s_bUsable = false;       // written once, inside call_once
std::string s_sInitError;     // likewise
} // namespace

bool cGstRuntime::Init(std::string& sError)
{
    std::call_once(s_InitOnce, [] {
        GError* pError = nullptr;
        s_bUsable = gst_init_check(nullptr, nullptr, &pError);
        if (!s_bUsable)
        {
            s_sInitError = std::string("GStreamer cannot start: ") + (pError ? pError->message : "no reason given");
            DbgLog(DBG_ERR, "cGstRuntime::Init", __LINE__, s_sInitError.c_str());
        }
        if (pError)
            g_error_free(pError);
    });
    if (!s_bUsable)
        sError = s_sInitError;
    return s_bUsable;
}

const char* cGstRuntime::PackageOf(const std::string& sElement)
{
    for (const Provider& provider : kProviders)
        if (provider.sElement == sElement)
            return provider.szPackage;
    return nullptr;
}

std::string cGstRuntime::MissingText(const std::string& sElement)
{
    const char* szPackage = PackageOf(sElement);
    return "GStreamer element " + sElement + " is missing" +
           (szPackage ? std::string(" (Debian package ") + szPackage + ")" : std::string());
}

bool cGstRuntime::HaveElements(std::initializer_list<const char*> elements, std::string& sError)
{
    if (!Init(sError))
        return false;
    for (const char* szElement : elements)
    {
        GstElementFactory* pFactory = gst_element_factory_find(szElement);
        if (!pFactory)
        {
            sError = MissingText(szElement);
            return false;
        }
        gst_object_unref(pFactory);
    }
    return true;
}
