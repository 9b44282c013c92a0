#include "cVideoSender.h"

#include "DbgLog.h"
#include "GstHandOver.h"
#include "cGstRuntime.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <mutex>

namespace
{
// A picture that arrives while this many wait for the encoder is dropped:
// a late picture is worth less than the next one.
constexpr guint64 kMostWaiting = 2;
constexpr int32_t kReferenceBitrateKbps = 1500;  // 640 x 480 at 30 frames/s
constexpr double kReferencePixelRate = 640.0 * 480.0 * 30.0;
// The transport stream's PIDs: the muxer takes a request pad's number as its PID.
constexpr uint16_t kVideoPid = 0x41;
constexpr uint16_t kKlvPid = 0x42;
constexpr uint16_t kNullPid = 0x1FFF;

uint16_t PidOf(const uint8_t* pPacket)
{
    return static_cast<uint16_t>((pPacket[1] & 0x1F) << 8 | pPacket[2]);
}

bool StartsUnit(const uint8_t* pPacket)
{
    return (pPacket[1] & 0x40) != 0;
}

// Where a transport packet's payload begins, after its adaptation field;
// kTsPacket when it carries none.
size_t PayloadOffset(const uint8_t* pPacket)
{
    const uint8_t nControl = (pPacket[3] >> 4) & 0x03;
    if ((nControl & 0x01) == 0)
        return cVideoSender::kTsPacket;
    const size_t nOffset = (nControl & 0x02) ? 5u + pPacket[4] : 4u;
    return std::min(nOffset, cVideoSender::kTsPacket);
}


template <typename T>
void Unref(T*& pObject)
{
    if (pObject)
        gst_object_unref(pObject);
    pObject = nullptr;
}
} // namespace

struct cVideoSender::Pipeline
{
    GstElement* pPipeline = nullptr;
    GstElement* pVideo = nullptr;  // appsrc of the pictures
    GstElement* pKlv = nullptr;    // appsrc of the KLV packets; transport stream only
    GstElement* pOut = nullptr;    // appsink of the datagrams
    GstClockTime nBaseTime = 0;    // Start sets it before any Push
    GstClockTime nFrameDuration = 0;
    // Stored before the pipeline runs; a streaming thread loads it before it
    // takes the owner's lock (GLib's thread pool hands threads over unseen).
    std::atomic<cVideoSender*> pOwner{nullptr};

    // Transport stream packets not yet sent, fewer than a datagram's worth;
    // the muxer's streaming thread only.
    std::vector<uint8_t> pending;
    size_t nPictureLeft = 0;         // payload bytes of the current picture's PES still to come
    bool bPictureUnbounded = false;  // its PES header gave no length

    ~Pipeline()
    {
        if (pPipeline)
        {
            gst_element_set_state(pPipeline, GST_STATE_NULL);
            // The streaming threads have ended; taking the lock they held
            // makes that visible to tools that do not see GLib's own locks.
            std::lock_guard<std::mutex> lock(pOwner.load()->m_CallbackMutex);
            GstBus* pBus = gst_element_get_bus(pPipeline);
            gst_bus_set_sync_handler(pBus, nullptr, nullptr, nullptr);
            gst_object_unref(pBus);
        }
        Unref(pVideo);
        Unref(pKlv);
        Unref(pOut);
        Unref(pPipeline);
    }

    // On the thread that posts: the first error is kept and logged, the rest only end the pipeline's work.
    static GstBusSyncReply OnMessage(GstBus*, GstMessage* pMessage, gpointer pData)
    {
        GstTakeOver(pData);
        if (GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_ERROR)
        {
            cVideoSender* pOwner = static_cast<Pipeline*>(pData)->pOwner.load(std::memory_order_acquire);
            std::lock_guard<std::mutex> lock(pOwner->m_CallbackMutex);
            GError* pError = nullptr;
            gchar* szDebug = nullptr;
            gst_message_parse_error(pMessage, &pError, &szDebug);
            pOwner->Fail(std::string(GST_OBJECT_NAME(GST_MESSAGE_SRC(pMessage))) +
                                                        ": " + (pError ? pError->message : "unknown error"));
            DbgLog(DBG_DBG, "cVideoSender::OnMessage", __LINE__, szDebug ? szDebug : "", CAT_GENERAL);
            if (pError)
                g_error_free(pError);
            g_free(szDebug);
        }
        gst_message_unref(pMessage);  // dropped here, so released here
        return GST_BUS_DROP;
    }

    void Hand(const uint8_t* pData, size_t nSize)
    {
        cVideoSender* pSender = pOwner.load(std::memory_order_relaxed);  // under its lock
        pSender->m_fnDatagram(pData, nSize);
        ++pSender->m_nDatagrams;
    }

    // The muxer's packets go out seven to a datagram as they come; a
    // picture's last datagram is filled up with null packets and sent at once
    // rather than held until the next picture's packets fill it, which would
    // delay the end of every picture by a frame. The muxer hands its packets
    // over one by one, so a picture's end is found from its PES header's
    // length (a picture too large for that field, which then says 0, ends
    // where the next one starts). The muxer waits for data on each of its
    // streams before it writes, so a picture's KLV packet follows with the
    // next picture's first datagram; it carries its picture's time.
    void TransportPackets(const uint8_t* pData, size_t nSize)
    {
        for (size_t nAt = 0; nAt + kTsPacket <= nSize; nAt += kTsPacket)
        {
            const uint8_t* pPacket = pData + nAt;
            bool bPictureEnds = false;
            if (PidOf(pPacket) == kVideoPid)
            {
                const size_t nOffset = PayloadOffset(pPacket);
                const size_t nPayload = kTsPacket - nOffset;
                if (StartsUnit(pPacket) && nPayload >= 6)
                {
                    if (bPictureUnbounded)
                        SendPadded();
                    const size_t nLength = static_cast<size_t>(pPacket[nOffset + 4]) << 8 | pPacket[nOffset + 5];
                    bPictureUnbounded = nLength == 0;
                    nPictureLeft = bPictureUnbounded ? 0 : nLength + 6;
                }
                if (nPictureLeft > 0)
                {
                    nPictureLeft -= std::min(nPictureLeft, nPayload);
                    bPictureEnds = nPictureLeft == 0;
                }
            }
            pending.insert(pending.end(), pPacket, pPacket + kTsPacket);
            if (pending.size() == kTsDatagram)
            {
                Hand(pending.data(), pending.size());
                pending.clear();
            }
            if (bPictureEnds)
                SendPadded();
        }
    }

    // The packets waiting, filled up to a datagram with null packets.
    void SendPadded()
    {
        if (pending.empty())
            return;
        const uint8_t header[4] = {0x47, static_cast<uint8_t>(kNullPid >> 8), static_cast<uint8_t>(kNullPid & 0xFF),
                                   0x10};
        while (pending.size() < kTsDatagram)
        {
            pending.insert(pending.end(), header, header + 4);
            pending.insert(pending.end(), kTsPacket - 4, 0xFF);
        }
        Hand(pending.data(), pending.size());
        pending.clear();
    }

    // On the muxer's (or payloader's) streaming thread.
    static GstFlowReturn OnSample(GstAppSink* pSink, gpointer pData)
    {
        GstTakeOver(pData);
        auto* pSelf = static_cast<Pipeline*>(pData);
        cVideoSender* pOwner = pSelf->pOwner.load(std::memory_order_acquire);
        std::lock_guard<std::mutex> lock(pOwner->m_CallbackMutex);
        GstSample* pSample = gst_app_sink_pull_sample(pSink);
        if (!pSample)
            return GST_FLOW_FLUSHING;
        const bool bTs = pOwner->m_Settings.form == eForm::TransportStream;
        auto hand = [pSelf, bTs](GstBuffer* pBuffer) {
            GstMapInfo map;
            if (!gst_buffer_map(pBuffer, &map, GST_MAP_READ))
                return;
            if (bTs)
                pSelf->TransportPackets(map.data, map.size);
            else
                pSelf->Hand(map.data, map.size);
            gst_buffer_unmap(pBuffer, &map);
        };
        if (GstBuffer* pBuffer = gst_sample_get_buffer(pSample))
            hand(pBuffer);
        else if (GstBufferList* pList = gst_sample_get_buffer_list(pSample))
            for (guint i = 0; i < gst_buffer_list_length(pList); ++i)
                hand(gst_buffer_list_get(pList, i));
        gst_sample_unref(pSample);
        return GST_FLOW_OK;
    }
};

int32_t cVideoSender::Settings::BitrateKbps() const
{
    if (nBitrateKbps > 0)
        return nBitrateKbps;
    const double dShare = static_cast<double>(nWidth) * nHeight * nFps / kReferencePixelRate;
    return std::clamp(static_cast<int32_t>(kReferenceBitrateKbps * dShare), 100, 50000);
}

size_t cVideoSender::FrameBytes(int32_t nWidth, int32_t nHeight)
{
    const size_t nLuma = static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight);
    return nLuma + 2 * (nLuma / 4);
}

cVideoSender::cVideoSender(const Settings& settings, DatagramHandler fnDatagram)
    : m_Settings(settings), m_fnDatagram(std::move(fnDatagram))
{
}

cVideoSender::~cVideoSender()
{
    Stop();
}

bool cVideoSender::Start(std::string& sError)
{
    if (m_pPipeline)
        return true;
    const bool bTs = m_Settings.form == eForm::TransportStream;
    if (!cGstRuntime::HaveElements({"appsrc", "x264enc", "appsink"}, sError) ||
        !(bTs ? cGstRuntime::HaveElements({"h264parse", "mpegtsmux"}, sError)
              : cGstRuntime::HaveElements({"rtph264pay"}, sError)))
        return false;

    // Live sources stamped with the pipeline's running time: the muxer then
    // sends each picture as soon as it is encoded instead of waiting for the
    // next KLV packet to prove that nothing earlier is coming. The sink does
    // not wait for a first buffer to call the pipeline playing, since the
    // first buffer comes only after Start.
    char szVideo[512];
    std::snprintf(szVideo, sizeof szVideo,
                  "appsrc name=video is-live=true format=time max-buffers=%llu leaky-type=downstream "
                  "caps=video/x-raw,format=I420,width=%d,height=%d,framerate=%d/1 "
                  "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=%d bitrate=%d ",
                  static_cast<unsigned long long>(kMostWaiting), m_Settings.nWidth, m_Settings.nHeight,
                  m_Settings.nFps, m_Settings.nFps, m_Settings.BitrateKbps());
    std::string sDescription = szVideo;
    if (bTs)
        sDescription += "! h264parse config-interval=-1 ! mux.sink_" + std::to_string(kVideoPid) +
                        " appsrc name=klv is-live=true format=time caps=meta/x-klv,parsed=true ! mux.sink_" +
                        std::to_string(kKlvPid) +
                        // Every packet as soon as it is muxed: TransportPackets makes the datagrams.
                        " mpegtsmux name=mux alignment=0 ! appsink name=out sync=false async=false";
    else
        sDescription += "! rtph264pay config-interval=-1 pt=" + std::to_string(kRtpPayloadType) +
                        " ! appsink name=out sync=false async=false";

    GError* pParseError = nullptr;
    GstElement* pElement = gst_parse_launch(sDescription.c_str(), &pParseError);
    if (pParseError)
    {
        sError = std::string("cannot build the video pipeline: ") + pParseError->message;
        g_error_free(pParseError);
        if (pElement)
            gst_object_unref(pElement);
        return false;
    }
    auto pipeline = std::make_unique<Pipeline>();
    pipeline->pPipeline = pElement;
    pipeline->pOwner.store(this, std::memory_order_release);
    m_bFailed = false;
    {
        std::lock_guard<std::mutex> lock(m_ErrorMutex);
        m_sError.clear();
    }
    pipeline->nFrameDuration = gst_util_uint64_scale_int(GST_SECOND, 1, m_Settings.nFps);
    pipeline->pVideo = gst_bin_get_by_name(GST_BIN(pElement), "video");
    pipeline->pOut = gst_bin_get_by_name(GST_BIN(pElement), "out");
    if (bTs)
        pipeline->pKlv = gst_bin_get_by_name(GST_BIN(pElement), "klv");

    // The system clock is CLOCK_MONOTONIC, as steady_clock is: a picture's
    // render time maps straight onto the pipeline's running time.
    GstClock* pClock = gst_system_clock_obtain();
    g_object_set(pClock, "clock-type", GST_CLOCK_TYPE_MONOTONIC, nullptr);
    gst_pipeline_use_clock(GST_PIPELINE(pElement), pClock);
    gst_object_unref(pClock);

    GstBus* pBus = gst_element_get_bus(pElement);
    gst_bus_set_sync_handler(pBus, &Pipeline::OnMessage, pipeline.get(), nullptr);
    gst_object_unref(pBus);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &Pipeline::OnSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(pipeline->pOut), &callbacks, pipeline.get(), nullptr);

    GstHandOver(pipeline.get());
    if (gst_element_set_state(pElement, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ||
        gst_element_get_state(pElement, nullptr, nullptr, 5 * GST_SECOND) == GST_STATE_CHANGE_FAILURE)
    {
        const std::string sReason = Error();
        sError = "the video pipeline does not start" + (sReason.empty() ? std::string() : ": " + sReason);
        return false;
    }
    pipeline->nBaseTime = gst_element_get_base_time(pElement);
    m_pPipeline = std::move(pipeline);
    return true;
}

bool cVideoSender::Push(const uint8_t* pPicture, const std::vector<uint8_t>& klv, Clock::time_point rendered)
{
    Pipeline* pPipeline = m_pPipeline.get();
    if (!pPipeline || m_bFailed)
        return false;
    const auto nRendered = std::chrono::duration_cast<std::chrono::nanoseconds>(rendered.time_since_epoch()).count();
    const GstClockTime nPts = static_cast<GstClockTime>(nRendered) > pPipeline->nBaseTime
                                  ? static_cast<GstClockTime>(nRendered) - pPipeline->nBaseTime
                                  : 0;
    guint64 nWaiting = 0;
    g_object_get(pPipeline->pVideo, "current-level-buffers", &nWaiting, nullptr);
    if (nWaiting >= kMostWaiting)
    {
        ++m_nDropped;
        return true;
    }

    auto stamped = [&](const uint8_t* pData, size_t nSize) {
        GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, nSize, nullptr);
        gst_buffer_fill(pBuffer, 0, pData, nSize);
        GST_BUFFER_PTS(pBuffer) = nPts;
        GST_BUFFER_DTS(pBuffer) = nPts;
        GST_BUFFER_DURATION(pBuffer) = pPipeline->nFrameDuration;
        return pBuffer;
    };
    // push_buffer takes the buffer whatever it returns.
    if (gst_app_src_push_buffer(GST_APP_SRC(pPipeline->pVideo), stamped(pPicture, FrameBytes())) != GST_FLOW_OK)
        return false;
    if (pPipeline->pKlv && !klv.empty() &&
        gst_app_src_push_buffer(GST_APP_SRC(pPipeline->pKlv), stamped(klv.data(), klv.size())) != GST_FLOW_OK)
        return false;
    ++m_nPushed;
    return !m_bFailed;
}

void cVideoSender::Stop()
{
    // Setting the pipeline to NULL joins its streaming threads.
    m_pPipeline.reset();
}

void cVideoSender::Fail(const std::string& sText)
{
    {
        std::lock_guard<std::mutex> lock(m_ErrorMutex);
        if (!m_sError.empty())
            return;
        m_sError = sText;
    }
    m_bFailed = true;
    DbgLog(DBG_ERR, "cVideoSender::Fail", __LINE__, DbgLogFormat("video pipeline failed: %s", sText.c_str()),
           CAT_GENERAL);
}

std::string cVideoSender::Error() const
{
    std::lock_guard<std::mutex> lock(m_ErrorMutex);
    return m_sError;
}

uint64_t cVideoSender::PicturesPushed() const
{
    return m_nPushed;
}

uint64_t cVideoSender::PicturesDropped() const
{
    return m_nDropped;
}

uint64_t cVideoSender::DatagramsOut() const
{
    return m_nDatagrams;
}
