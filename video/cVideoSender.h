#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Encodes raw pictures as H.264 and hands the stream out as UDP-sized
// datagrams: an MPEG transport stream with one KLV packet per picture on a
// stream of its own (1316 bytes each: seven 188-byte packets, a picture's
// last datagram filled up with null packets so that it leaves at once; the
// KLV packet, stamped with its picture's time, leaves with the next picture),
// or RTP/H.264 without the KLV. The datagrams go to a callable rather than to a socket, so
// that the owner sends them through a link of its own (and spoils them
// there). The callable runs on one of GStreamer's threads; it is never called
// after Stop returns.
//
// Low latency on purpose: no look-ahead, no B-frames, an I-frame at least
// every second (with SPS/PPS ahead of each), and a picture that comes faster
// than the encoder takes it is dropped, never queued up.
class cVideoSender
{
public:
    using Clock = std::chrono::steady_clock;

    enum class eForm
    {
        TransportStream,
        Rtp,
    };

    struct Settings
    {
        eForm form = eForm::TransportStream;
        int32_t nWidth = 640;   // even, as I420 wants
        int32_t nHeight = 480;
        int32_t nFps = 30;
        int32_t nBitrateKbps = 0;  // 0: by the picture's size, 1500 kbit/s at 640 x 480 and 30 frames/s
        int32_t BitrateKbps() const;
    };

    // RTP's payload type for the H.264 stream (a dynamic one).
    static constexpr int kRtpPayloadType = 96;
    static constexpr size_t kTsPacket = 188;
    static constexpr size_t kTsDatagram = 7 * kTsPacket;

    using DatagramHandler = std::function<void(const uint8_t* pData, size_t nSize)>;

    cVideoSender(const Settings& settings, DatagramHandler fnDatagram);
    ~cVideoSender();
    cVideoSender(const cVideoSender&) = delete;
    cVideoSender& operator=(const cVideoSender&) = delete;

    // Builds the pipeline and sets it playing. False with the reason (a
    // missing element names its Debian package) when it cannot.
    bool Start(std::string& sError);
    // From one thread at a time, between Start and Stop: a picture of
    // FrameBytes() bytes in I420 (Y, then U and V at half size each way),
    // rendered at `rendered`, which becomes its presentation time; its KLV
    // packet goes with it in a transport stream (empty: none). False once the
    // pipeline has failed (Error() says why) or when it is not running.
    bool Push(const uint8_t* pPicture, const std::vector<uint8_t>& klv, Clock::time_point rendered);
    // Stops the pipeline; no datagram is handed out after it returns.
    void Stop();

    // The first error the pipeline reported since Start, "" while none. Any
    // thread; the counts likewise, and they stay after Stop.
    std::string Error() const;
    uint64_t PicturesPushed() const;
    uint64_t PicturesDropped() const;  // the encoder was still busy
    uint64_t DatagramsOut() const;

    size_t FrameBytes() const { return FrameBytes(m_Settings.nWidth, m_Settings.nHeight); }
    static size_t FrameBytes(int32_t nWidth, int32_t nHeight);
    const Settings& Get() const { return m_Settings; }

private:
    struct Pipeline;  // GStreamer's objects, kept out of this header

    void Fail(const std::string& sText);

    const Settings m_Settings;
    const DatagramHandler m_fnDatagram;
    // Written by GStreamer's threads (and Push), read by any; they outlive a
    // pipeline, so that the owner can say what went out after Stop.
    std::atomic<uint64_t> m_nPushed{0};
    std::atomic<uint64_t> m_nDropped{0};
    std::atomic<uint64_t> m_nDatagrams{0};
    std::atomic<bool> m_bFailed{false};
    // Held by GStreamer's threads while they call back, so that what Start
    // set up before them and what Stop frees after them is ordered by a lock
    // every tool sees (GLib's own locks are invisible to ThreadSanitizer).
    std::mutex m_CallbackMutex;
    mutable std::mutex m_ErrorMutex;  // guards m_sError
    std::string m_sError;
    std::unique_ptr<Pipeline> m_pPipeline;  // last: its threads use the fields above
};
