#include "cVideoReceiver.h"

#include "GstHandOver.h"
#include "cGstRuntime.h"

#include "DbgLog.h"
#include "cKlvReader.h"
#include "cKlvTimeline.h"
#include "cStreamShape.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <unistd.h>
#include <vector>

namespace
{
// The receive buffer that absorbs a burst (an I-frame arrives as dozens of
// datagrams at once) while the decoder is busy.
constexpr int kSocketBufferBytes = 4 * 1024 * 1024;
// Larger than any datagram a sender may use, so none is cut short.
constexpr unsigned kMaxDatagram = 65536;
constexpr size_t kMostDistinctWarnings = 32;

std::string CapsName(GstPad* pPad)
{
    GstCaps* pCaps = gst_pad_get_current_caps(pPad);
    if (!pCaps)
        pCaps = gst_pad_query_caps(pPad, nullptr);
    std::string sName;
    if (pCaps && gst_caps_get_size(pCaps) > 0)
    {
        const GstStructure* pStructure = gst_caps_get_structure(pCaps, 0);
        sName = gst_structure_get_name(pStructure);
        const char* szMedia = gst_structure_get_string(pStructure, "media");
        if (szMedia)
            sName += std::string(";") + szMedia;
    }
    if (pCaps)
        gst_caps_unref(pCaps);
    return sName;
}
} // namespace

struct cVideoReceiver::cImpl
{
    // Owner's thread only.
    int32_t nLatencyMs = 0;
    GstElement* pPipeline = nullptr;
    GstElement* pFrameSink = nullptr;

    // Guards what the streaming threads read of the run (the owner writes it
    // under the lock, before the pipeline starts and after it has stopped):
    // GStreamer hands work to its threads through locks of its own that a
    // thread checker cannot see.
    mutable std::mutex runMutex;
    std::string sSourceText;
    cVideoSource source;
    GstElement* pDecodeHead = nullptr;  // where the demuxed or depayloaded stream goes in
    GstElement* pRtpHead = nullptr;     // RTSP: the depayloader
    GstElement* pKlvSink = nullptr;     // a transport stream's metadata goes in here
    std::unique_ptr<cStreamShape> pShape;  // used by the source's streaming thread

    // Guards the sinks; they are called under it, so Stop and a change of
    // sink wait for a call in progress.
    std::mutex sinkMutex;
    FrameSink fnFrameSink;
    BytesSink fnStreamSink;

    // Read on the demuxer's thread (one run at a time); its counters are read anywhere.
    cKlvReader klvReader{"Video KLV"};
    cKlvTimeline klvTimeline;  // locked inside: the demuxer adds, the decoder's frames look up

    // Written by the streaming threads, read anywhere.
    std::atomic<uint64_t> nDecoded{0};
    std::atomic<uint64_t> nHandedOver{0};
    std::atomic<uint64_t> nDecoderSkipped{0};
    std::atomic<uint64_t> nBytes{0};
    std::atomic<bool> bRunning{false};  // written by the owner

    // Guards the fault texts; written by the bus handler (any streaming
    // thread) and the shape check, read by the owner.
    mutable std::mutex messageMutex;
    std::string sError;     // holds until the pipeline is started again
    bool bErrorLasts = false;  // found before the pipeline ran: a new one would find it again
    std::string sLastLogged;   // the last error logged, across restarts: a retried failure is logged once
    std::atomic<bool> bErrorLogged{false};  // sLastLogged holds one; read by the streaming thread
    std::string sMisfit;    // holds while the data does not fit
    std::set<std::string> warningsSeen;
    std::string sLastSource;  // owner only: the source of the last Start

    std::string SourceTextOfRun() const
    {
        const std::lock_guard<std::mutex> lock(runMutex);
        return sSourceText;
    }

    void SetError(const std::string& sText, bool bLasts = false)
    {
        {
            const std::lock_guard<std::mutex> lock(messageMutex);
            if (!sError.empty())
                return;
            sError = sText;
            bErrorLasts = bLasts;
            if (sText == sLastLogged)
                return;
            sLastLogged = sText;
            bErrorLogged.store(true, std::memory_order_relaxed);
        }
        DbgLog(DBG_ERR, "cVideoReceiver::SetError", __LINE__, DbgLogFormat("Video from %s: %s", SourceTextOfRun().c_str(), sText.c_str()));
    }

    bool Build(std::string& sWhy);
    GstElement* Make(const char* szFactory, const char* szName, std::string& sWhy);
    void OnSourceBytes(const uint8_t* pData, size_t nSize, uint64_t nAt);
    void OnPadAdded(GstPad* pPad);
    void OnSample(GstAppSink* pSink);
    void OnKlvSample(GstAppSink* pSink);
    void OnBusMessage(GstMessage* pMessage);
    std::string ErrorText(const GError* pError, const char* szFrom) const;
    void Teardown();

    static GstPadProbeReturn SourceProbe(GstPad*, GstPadProbeInfo* pInfo, gpointer pUser);
    static GstPadProbeReturn DecodedProbe(GstPad*, GstPadProbeInfo* pInfo, gpointer pUser);
    static void PadAdded(GstElement*, GstPad* pPad, gpointer pUser)
    {
        GstTakeOver(pUser);
        static_cast<cImpl*>(pUser)->OnPadAdded(pPad);
    }
    static GstFlowReturn NewSample(GstAppSink* pSink, gpointer pUser)
    {
        GstTakeOver(pUser);
        static_cast<cImpl*>(pUser)->OnSample(pSink);
        return GST_FLOW_OK;
    }
    static GstFlowReturn NewKlvSample(GstAppSink* pSink, gpointer pUser)
    {
        GstTakeOver(pUser);
        static_cast<cImpl*>(pUser)->OnKlvSample(pSink);
        return GST_FLOW_OK;
    }
    static GstBusSyncReply BusMessage(GstBus*, GstMessage* pMessage, gpointer pUser)
    {
        GstTakeOver(pUser);
        static_cast<cImpl*>(pUser)->OnBusMessage(pMessage);
        // A message dropped here is ours to release; kept, it would keep its
        // element, and with it the whole pipeline, alive.
        gst_message_unref(pMessage);
        return GST_BUS_DROP;
    }
};

const char* cVideoReceiver::PackageOf(const std::string& sElement)
{
    const char* szPackage = cGstRuntime::PackageOf(sElement);
    return szPackage ? szPackage : "a GStreamer plug-in package";
}

GstElement* cVideoReceiver::cImpl::Make(const char* szFactory, const char* szName, std::string& sWhy)
{
    GstElement* pElement = gst_element_factory_make(szFactory, szName);
    if (!pElement && sWhy.empty())
        sWhy = std::string("the GStreamer element ") + szFactory + " is not installed (Debian package " + PackageOf(szFactory) + ")";
    return pElement;
}

bool cVideoReceiver::cImpl::Build(std::string& sWhy)
{
    using eKind = cVideoSource::eKind;
    const bool bLive = source.IsLive();
    std::vector<GstElement*> elements;
    const auto make = [&](const char* szFactory, const char* szName = nullptr) {
        GstElement* pElement = Make(szFactory, szName, sWhy);
        if (pElement)
            elements.push_back(pElement);
        return pElement;
    };

    GstElement* pSource = nullptr;
    GstElement* pDemux = nullptr;
    GstElement* pJitter = nullptr;
    switch (source.eSourceKind)
    {
    case eKind::UdpTransportStream:
    case eKind::Rtp:
        pSource = make("udpsrc");
        if (pSource)
        {
            const char* szCaps = source.eSourceKind == eKind::Rtp
                                     ? "application/x-rtp,media=video,clock-rate=90000,encoding-name=H264,payload=96"
                                     : "video/mpegts,systemstream=(boolean)true,packetsize=(int)188";
            GstCaps* pCaps = gst_caps_from_string(szCaps);
            g_object_set(pSource, "address", source.sHost.c_str(), "port", static_cast<gint>(source.nPort), "caps", pCaps,
                         "buffer-size", kSocketBufferBytes, "mtu", kMaxDatagram, "reuse", FALSE, nullptr);
            gst_caps_unref(pCaps);
        }
        if (source.eSourceKind == eKind::Rtp)
        {
            pJitter = make("rtpjitterbuffer");
            pRtpHead = make("rtph264depay");
            if (pJitter)
                g_object_set(pJitter, "latency", static_cast<guint>(nLatencyMs), "drop-on-latency", TRUE, nullptr);
        }
        else
        {
            pDemux = make("tsdemux");
        }
        break;
    case eKind::File:
        pSource = make("filesrc");
        if (pSource)
            g_object_set(pSource, "location", source.sLocation.c_str(), nullptr);
        pDemux = make("tsdemux");
        break;
    case eKind::Rtsp:
        pSource = make("rtspsrc");
        if (pSource)
            g_object_set(pSource, "location", source.sLocation.c_str(), "latency", static_cast<guint>(nLatencyMs), nullptr);
        pRtpHead = make("rtph264depay");
        break;
    case eKind::Invalid:
        sWhy = source.sWhy;
        return false;
    }
    if (pDemux)
        g_object_set(pDemux, "latency", static_cast<gint>(nLatencyMs), nullptr);

    GstElement* pParse = make("h264parse");
    GstElement* pDecoder = make("avdec_h264");
    GstElement* pConvert = make("videoconvert");
    GstElement* pFormat = make("capsfilter");
    pFrameSink = make("appsink");
    if (pDemux)
        pKlvSink = make("appsink", "klvsink");
    if (!sWhy.empty())
    {
        for (GstElement* pElement : elements)
            gst_object_unref(pElement);
        pFrameSink = nullptr;
        pRtpHead = nullptr;
        pKlvSink = nullptr;
        return false;
    }
    // Threads decoding frames side by side would hold one frame each: on a
    // live source that is latency, so the decoder keeps to one.
    if (bLive)
        g_object_set(pDecoder, "max-threads", 1, nullptr);
    GstCaps* pRaw = gst_caps_from_string("video/x-raw,format=BGRx");
    g_object_set(pFormat, "caps", pRaw, nullptr);
    gst_caps_unref(pRaw);
    // Only the newest frame matters: the sink holds one and drops the older.
    // A file plays at its own rate, so its frames wait for their time.
    g_object_set(pFrameSink, "sync", bLive ? FALSE : TRUE, "max-buffers", 1u, "drop", TRUE, "emit-signals", FALSE,
                 "enable-last-sample", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &cImpl::NewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(pFrameSink), &callbacks, this, nullptr);
    if (pKlvSink)
    {
        // Read as it is demuxed, ahead of the frames it describes; no part in
        // prerolling, as a stream may carry no metadata and leave it unlinked.
        g_object_set(pKlvSink, "sync", FALSE, "async", FALSE, "emit-signals", FALSE, "enable-last-sample", FALSE, nullptr);
        GstAppSinkCallbacks klvCallbacks{};
        klvCallbacks.new_sample = &cImpl::NewKlvSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(pKlvSink), &klvCallbacks, this, nullptr);
    }

    pPipeline = gst_pipeline_new("video-receiver");
    for (GstElement* pElement : elements)
        gst_bin_add(GST_BIN(pPipeline), pElement);

    bool bLinked = gst_element_link_many(pParse, pDecoder, pConvert, pFormat, pFrameSink, nullptr);
    if (source.eSourceKind == eKind::Rtp)
        bLinked = bLinked && gst_element_link_many(pSource, pJitter, pRtpHead, pParse, nullptr);
    else if (source.eSourceKind == eKind::Rtsp)
        bLinked = bLinked && gst_element_link(pRtpHead, pParse);
    else
        bLinked = bLinked && gst_element_link(pSource, pDemux);
    if (!bLinked)
    {
        sWhy = "the video pipeline cannot be linked";
        return false;
    }
    pDecodeHead = pParse;
    if (pDemux)
        g_signal_connect(pDemux, "pad-added", G_CALLBACK(&cImpl::PadAdded), this);
    if (source.eSourceKind == eKind::Rtsp)
        g_signal_connect(pSource, "pad-added", G_CALLBACK(&cImpl::PadAdded), this);

    // The bytes as they arrive: counted, checked, and handed to a recording.
    if (source.eSourceKind != eKind::Rtsp)
    {
        pShape = std::make_unique<cStreamShape>(source.eSourceKind == eKind::Rtp ? cStreamShape::eExpect::Rtp
                                                                                 : cStreamShape::eExpect::TransportStream);
        GstPad* pPad = gst_element_get_static_pad(pSource, "src");
        gst_pad_add_probe(pPad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                          &cImpl::SourceProbe, this, nullptr);
        gst_object_unref(pPad);
    }
    GstPad* pSinkPad = gst_element_get_static_pad(pFrameSink, "sink");
    gst_pad_add_probe(pSinkPad, GST_PAD_PROBE_TYPE_BUFFER, &cImpl::DecodedProbe, this, nullptr);
    gst_object_unref(pSinkPad);

    GstBus* pBus = gst_element_get_bus(pPipeline);
    gst_bus_set_sync_handler(pBus, &cImpl::BusMessage, this, nullptr);
    gst_object_unref(pBus);
    return true;
}

GstPadProbeReturn cVideoReceiver::cImpl::SourceProbe(GstPad*, GstPadProbeInfo* pInfo, gpointer pUser)
{
    GstTakeOver(pUser);
    auto* pImpl = static_cast<cImpl*>(pUser);
    const auto feed = [pImpl](GstBuffer* pBuffer) {
        GstMapInfo map;
        if (!gst_buffer_map(pBuffer, &map, GST_MAP_READ))
            return;
        // A file source says where in the file each block lies.
        const uint64_t nAt = GST_BUFFER_OFFSET_IS_VALID(pBuffer) ? GST_BUFFER_OFFSET(pBuffer) : cStreamShape::kFollows;
        pImpl->OnSourceBytes(map.data, map.size, nAt);
        gst_buffer_unmap(pBuffer, &map);
    };
    if (GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_BUFFER)
    {
        feed(GST_PAD_PROBE_INFO_BUFFER(pInfo));
    }
    else if (GstBufferList* pList = GST_PAD_PROBE_INFO_BUFFER_LIST(pInfo))
    {
        for (guint n = 0; n < gst_buffer_list_length(pList); ++n)
            feed(gst_buffer_list_get(pList, n));
    }
    return GST_PAD_PROBE_OK;
}

void cVideoReceiver::cImpl::OnSourceBytes(const uint8_t* pData, size_t nSize, uint64_t nAt)
{
    bool bChanged = false;
    bool bMisfit = false;
    bool bTransportStream = false;
    std::string sText;
    std::string sFrom;
    {
        const std::lock_guard<std::mutex> lock(runMutex);
        nBytes.fetch_add(nSize, std::memory_order_relaxed);
        bTransportStream = source.IsTransportStream();
        if (pShape && pShape->Feed(pData, nSize, source.eSourceKind == cVideoSource::eKind::File, nAt))
        {
            bChanged = true;
            bMisfit = pShape->IsMisfit();
            sText = pShape->Describe();
            sFrom = sSourceText;
        }
    }
    if (bChanged)
    {
        {
            const std::lock_guard<std::mutex> lock(messageMutex);
            sMisfit = bMisfit ? sText : std::string();
        }
        if (bMisfit)
            DbgLog(DBG_ERR, "cVideoReceiver::OnSourceBytes", __LINE__, DbgLogFormat("Video from %s: %s", sFrom.c_str(), sText.c_str()));
        else
            DbgLog(DBG_WRN, "cVideoReceiver::OnSourceBytes", __LINE__,
                   DbgLogFormat("Video from %s: the stream has the expected shape again", sFrom.c_str()));
    }
    if (!bTransportStream)
        return;
    const std::lock_guard<std::mutex> lock(sinkMutex);
    if (fnStreamSink)
        fnStreamSink(pData, nSize);
}

GstPadProbeReturn cVideoReceiver::cImpl::DecodedProbe(GstPad*, GstPadProbeInfo*, gpointer pUser)
{
    GstTakeOver(pUser);
    auto* pImpl = static_cast<cImpl*>(pUser);
    // Under the run lock: the stop takes the locks the streaming threads
    // took, which orders their last count before the receiver goes.
    const std::lock_guard<std::mutex> lock(pImpl->runMutex);
    pImpl->nDecoded.fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

void cVideoReceiver::cImpl::OnPadAdded(GstPad* pPad)
{
    const std::string sCaps = CapsName(pPad);
    GstPad* pSinkPad = nullptr;
    {
        const std::lock_guard<std::mutex> lock(runMutex);
        GstElement* pTarget = nullptr;
        if (sCaps.rfind("video/x-h264", 0) == 0)
            pTarget = pDecodeHead;
        else if (sCaps.rfind("application/x-rtp", 0) == 0 && sCaps.find(";video") != std::string::npos)
            pTarget = pRtpHead;
        else if (sCaps.rfind("meta/x-klv", 0) == 0)
            pTarget = pKlvSink;
        if (pTarget)
            pSinkPad = gst_element_get_static_pad(pTarget, "sink");
    }
    if (!pSinkPad)
    {
        // Video of another coding would otherwise look like silence.
        if (sCaps.rfind("video/", 0) == 0)
            SetError("the stream's video is " + sCaps.substr(0, sCaps.find(',')) + ", not H.264", true);
        return;  // a stream we do not show (audio, data we do not read)
    }
    // The demuxer may replace its pad (a new programme table): the old one is unlinked by then.
    if (!gst_pad_is_linked(pSinkPad) && GST_PAD_LINK_FAILED(gst_pad_link(pPad, pSinkPad)))
        DbgLog(DBG_WRN, "cVideoReceiver::OnPadAdded", __LINE__,
               DbgLogFormat("Video from %s: cannot link %s", SourceTextOfRun().c_str(), sCaps.c_str()));
    gst_object_unref(pSinkPad);
}

void cVideoReceiver::cImpl::OnSample(GstAppSink* pSink)
{
    GstSample* pSample = gst_app_sink_pull_sample(pSink);
    if (!pSample)
        return;
    GstVideoInfo info;
    GstBuffer* pBuffer = gst_sample_get_buffer(pSample);
    GstCaps* pCaps = gst_sample_get_caps(pSample);
    // The frame keeps the decoder's buffer mapped until its last user lets go.
    struct cHeld
    {
        GstSample* pSample;
        GstVideoFrame frame;
    };
    auto* pHeld = new cHeld{pSample, {}};
    if (!pBuffer || !pCaps || !gst_video_info_from_caps(&info, pCaps) ||
        !gst_video_frame_map(&pHeld->frame, &info, pBuffer, GST_MAP_READ))
    {
        gst_sample_unref(pSample);
        delete pHeld;
        return;
    }
    cVideoFrame frame;
    frame.nWidth = GST_VIDEO_FRAME_WIDTH(&pHeld->frame);
    frame.nHeight = GST_VIDEO_FRAME_HEIGHT(&pHeld->frame);
    frame.nStride = GST_VIDEO_FRAME_PLANE_STRIDE(&pHeld->frame, 0);
    frame.nPtsNs = GST_BUFFER_PTS_IS_VALID(pBuffer) ? static_cast<int64_t>(GST_BUFFER_PTS(pBuffer)) : -1;
    frame.arrival = cVideoFrame::WallClock::now();
    frame.klv = klvTimeline.Match(frame.nPtsNs);
    if (frame.klv)
        frame.nKlvTimeUs = frame.klv->nTimeUs;
    frame.pPixels = std::shared_ptr<const uint8_t>(static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&pHeld->frame, 0)),
                                                   [pHeld](const uint8_t*) {
                                                       gst_video_frame_unmap(&pHeld->frame);
                                                       gst_sample_unref(pHeld->pSample);
                                                       delete pHeld;
                                                   });
    nHandedOver.fetch_add(1, std::memory_order_relaxed);
    if (bErrorLogged.load(std::memory_order_relaxed))
    {
        // Pictures again: a failure that comes back is news again.
        const std::lock_guard<std::mutex> lock(messageMutex);
        sLastLogged.clear();
        bErrorLogged.store(false, std::memory_order_relaxed);
    }
    const std::lock_guard<std::mutex> lock(sinkMutex);
    if (fnFrameSink)
        fnFrameSink(std::move(frame));
}

void cVideoReceiver::cImpl::OnKlvSample(GstAppSink* pSink)
{
    GstSample* pSample = gst_app_sink_pull_sample(pSink);
    if (!pSample)
        return;
    GstBuffer* pBuffer = gst_sample_get_buffer(pSample);
    GstMapInfo map;
    if (pBuffer && gst_buffer_map(pBuffer, &map, GST_MAP_READ))
    {
        const int64_t nPtsNs = GST_BUFFER_PTS_IS_VALID(pBuffer) ? static_cast<int64_t>(GST_BUFFER_PTS(pBuffer)) : -1;
        // A buffer may hold more than one packet, and stuffing after them.
        size_t nAt = 0;
        while (nAt < map.size && map.data[nAt] != 0x00 && map.data[nAt] != 0xFF)
        {
            KlvMetadata metadata;
            if (klvReader.Read(map.data + nAt, map.size - nAt, metadata) != cKlvReader::eResult::Ok)
                break;  // the reader has counted and logged it; where the next would start is unknown
            klvTimeline.Add(nPtsNs, metadata);
            nAt += klvReader.LastPacketSize();
        }
        gst_buffer_unmap(pBuffer, &map);
    }
    gst_sample_unref(pSample);
}

std::string cVideoReceiver::cImpl::ErrorText(const GError* pError, const char* szFrom) const
{
    if (!pError)
        return std::string("pipeline error (") + (szFrom ? szFrom : "pipeline") + ")";
    cVideoSource source;
    {
        const std::lock_guard<std::mutex> lock(runMutex);
        source = this->source;
    }
    const std::string sMessage = pError->message ? pError->message : "";
    if (pError->domain == GST_RESOURCE_ERROR && source.eSourceKind == cVideoSource::eKind::File)
        return "cannot read the file: " + sMessage;
    if (pError->domain == GST_RESOURCE_ERROR && (source.eSourceKind == cVideoSource::eKind::UdpTransportStream ||
                                                 source.eSourceKind == cVideoSource::eKind::Rtp))
        return "cannot listen on " + source.sHost + ":" + std::to_string(source.nPort) + ": " + sMessage;
    if (pError->domain == GST_STREAM_ERROR && pError->code == GST_STREAM_ERROR_DECODE)
        return "the stream cannot be decoded as H.264: " + sMessage;
    return sMessage + " (" + (szFrom ? szFrom : "pipeline") + ")";
}

void cVideoReceiver::cImpl::OnBusMessage(GstMessage* pMessage)
{
    switch (GST_MESSAGE_TYPE(pMessage))
    {
    case GST_MESSAGE_ERROR:
    {
        GError* pError = nullptr;
        gchar* szDebug = nullptr;
        gst_message_parse_error(pMessage, &pError, &szDebug);
        const bool bNoProgramme = szDebug && std::strstr(szDebug, "No program activated");
        bool bSaidAlready = false;
        if (bNoProgramme)
        {
            // The shape check has said so already when the bytes were wrong from the start.
            const std::lock_guard<std::mutex> lock(messageMutex);
            bSaidAlready = !sMisfit.empty();
        }
        const std::string sText = bNoProgramme ? "not an MPEG transport stream (no programme found)"
                                               : ErrorText(pError, GST_MESSAGE_SRC_NAME(pMessage));
        if (!bSaidAlready)
            SetError(sText);
        if (pError)
            g_error_free(pError);
        g_free(szDebug);
        break;
    }
    case GST_MESSAGE_WARNING:
    {
        GError* pError = nullptr;
        gst_message_parse_warning(pMessage, &pError, nullptr);
        const std::string sText = pError ? pError->message : "warning";
        bool bNew = false;
        {
            const std::lock_guard<std::mutex> lock(messageMutex);
            // Said once per kind: "Mismatch packet 13, stream 9" and "packet 2,
            // stream 5" are one warning that a lossy link repeats all the time.
            std::string sKind = sText;
            sKind.erase(std::remove_if(sKind.begin(), sKind.end(), [](char c) { return c >= '0' && c <= '9'; }),
                        sKind.end());
            if (warningsSeen.size() < kMostDistinctWarnings)
                bNew = warningsSeen.insert(sKind).second;
        }
        if (bNew)
            DbgLog(DBG_WRN, "cVideoReceiver::OnBusMessage", __LINE__,
                   DbgLogFormat("Video from %s: %s (%s)", SourceTextOfRun().c_str(), sText.c_str(), GST_MESSAGE_SRC_NAME(pMessage)));
        if (pError)
            g_error_free(pError);
        break;
    }
    case GST_MESSAGE_QOS:
    {
        guint64 nProcessed = 0;
        guint64 nDropped = 0;
        gst_message_parse_qos_stats(pMessage, nullptr, &nProcessed, &nDropped);
        // Each element reports its own running total; the decoder's is the one that counts frames.
        if (GST_MESSAGE_SRC(pMessage) && g_str_has_prefix(GST_MESSAGE_SRC_NAME(pMessage), "avdec"))
            nDecoderSkipped.store(nDropped, std::memory_order_relaxed);
        break;
    }
    default:
        break;
    }
}

void cVideoReceiver::cImpl::Teardown()
{
    if (!pPipeline)
        return;
    // Returns once every streaming thread has left the pipeline's elements.
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    // GStreamer joins its streaming threads with GLib's own futexes, which
    // ThreadSanitizer does not see; taking each lock those threads took
    // shows it that everything they did comes before what follows here.
    {
        const std::lock_guard<std::mutex> sinkLock(sinkMutex);
        const std::lock_guard<std::mutex> messageLock(messageMutex);
    }
    GstBus* pBus = gst_element_get_bus(pPipeline);
    gst_bus_set_sync_handler(pBus, nullptr, nullptr, nullptr);
    gst_object_unref(pBus);
    gst_object_unref(pPipeline);
    pPipeline = nullptr;
    pFrameSink = nullptr;
    {
        const std::lock_guard<std::mutex> lock(runMutex);
        pDecodeHead = nullptr;
        pRtpHead = nullptr;
        pKlvSink = nullptr;
        pShape.reset();
    }
    // The pool's idle threads would otherwise linger after the pipeline.
    g_thread_pool_stop_unused_threads();
}

cVideoReceiver::cVideoReceiver() : m_pImpl(std::make_unique<cImpl>())
{
}

cVideoReceiver::~cVideoReceiver()
{
    Stop();
}

void cVideoReceiver::SetFrameSink(FrameSink fnSink)
{
    const std::lock_guard<std::mutex> lock(m_pImpl->sinkMutex);
    m_pImpl->fnFrameSink = std::move(fnSink);
}

void cVideoReceiver::SetStreamSink(BytesSink fnSink)
{
    const std::lock_guard<std::mutex> lock(m_pImpl->sinkMutex);
    m_pImpl->fnStreamSink = std::move(fnSink);
}

bool cVideoReceiver::Start(const std::string& sSource, int32_t nLatencyMs)
{
    Stop();
    cImpl& impl = *m_pImpl;
    impl.nLatencyMs = std::max<int32_t>(nLatencyMs, 0);
    {
        const std::lock_guard<std::mutex> lock(impl.runMutex);
        impl.sSourceText = sSource;
        impl.source = cVideoSource::Parse(sSource);
    }
    impl.klvTimeline.Clear();
    {
        const std::lock_guard<std::mutex> lock(impl.messageMutex);
        impl.sError.clear();
        impl.bErrorLasts = false;
        impl.sMisfit.clear();
        // A new source starts afresh; the same one again (a rebuild) keeps what
        // was said, so that a failure it repeats is not said again.
        if (sSource != impl.sLastSource)
        {
            impl.warningsSeen.clear();
            impl.sLastLogged.clear();
        }
        impl.sLastSource = sSource;
    }
    std::string sWhy;
    if (impl.source.eSourceKind == cVideoSource::eKind::Invalid)
        sWhy = "not a video source: " + impl.source.sWhy;
    else if (impl.source.eSourceKind == cVideoSource::eKind::File && access(impl.source.sLocation.c_str(), R_OK) != 0)
        sWhy = std::string("cannot read the file: ") + std::strerror(errno);
    if (sWhy.empty())
        cGstRuntime::Init(sWhy);
    if (sWhy.empty())
    {
        bool bBuilt = false;
        {
            const std::lock_guard<std::mutex> lock(impl.runMutex);
            bBuilt = impl.Build(sWhy);
        }
        if (!bBuilt)
            impl.Teardown();
    }
    if (!sWhy.empty())
    {
        impl.SetError(sWhy, true);
        return false;
    }
    impl.bRunning.store(true);
    GstHandOver(&impl);
    if (gst_element_set_state(impl.pPipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
    {
        impl.SetError("the video pipeline cannot start");
        Stop();
        return false;
    }
    return true;
}

void cVideoReceiver::Stop()
{
    m_pImpl->Teardown();
    m_pImpl->bRunning.store(false);
}

bool cVideoReceiver::Restart()
{
    const std::string sSource = m_pImpl->sSourceText;
    return Start(sSource, m_pImpl->nLatencyMs);
}

bool cVideoReceiver::IsRunning() const
{
    return m_pImpl->bRunning.load();
}

const cVideoSource& cVideoReceiver::Source() const
{
    return m_pImpl->source;
}

const std::string& cVideoReceiver::SourceText() const
{
    return m_pImpl->sSourceText;
}

cVideoReceiver::Figures cVideoReceiver::Counts() const
{
    Figures figures;
    figures.nDecoded = m_pImpl->nDecoded.load(std::memory_order_relaxed);
    const uint64_t nHandedOver = m_pImpl->nHandedOver.load(std::memory_order_relaxed);
    figures.nDropped = (figures.nDecoded > nHandedOver ? figures.nDecoded - nHandedOver : 0) +
                       m_pImpl->nDecoderSkipped.load(std::memory_order_relaxed);
    figures.nBytes = m_pImpl->nBytes.load(std::memory_order_relaxed);
    figures.nKlvGood = m_pImpl->klvReader.GoodPackets();
    figures.nKlvRejected = m_pImpl->klvReader.RejectedPackets();
    return figures;
}

bool cVideoReceiver::MessageLasts() const
{
    const std::lock_guard<std::mutex> lock(m_pImpl->messageMutex);
    return !m_pImpl->sError.empty() && m_pImpl->bErrorLasts;
}

bool cVideoReceiver::HasStreamError() const
{
    const std::lock_guard<std::mutex> lock(m_pImpl->messageMutex);
    return !m_pImpl->sError.empty() && !m_pImpl->bErrorLasts;
}

std::string cVideoReceiver::Message() const
{
    const std::lock_guard<std::mutex> lock(m_pImpl->messageMutex);
    if (!m_pImpl->sError.empty())
        return m_pImpl->sError;
    return m_pImpl->sMisfit;
}
