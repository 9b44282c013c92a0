#pragma once
#include "cVideoFrame.h"
#include "cVideoSource.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Receives and decodes one video source on a GStreamer pipeline chosen by
// the source (see cVideoSource): H.264 decoded into frames of cVideoFrame,
// the transport stream's bytes handed on as they arrive (for a recording),
// and the decoded and dropped frames counted. A transport stream's KLV
// metadata is read as it is demuxed, and each frame carries the packet of
// its own time, or the latest before it. Decoding runs on GStreamer's
// own threads; the sinks are called there and must only hand over.
//
// A fault (an element not installed, a file that cannot be read, data that
// is not the stream expected, a pipeline error) becomes one message: logged
// once when it begins, and once more when a lasting one ends; Message() says
// it while it holds. The receiver never ends the program for a fault.
//
// Start, Stop and the destructor belong to the owner's thread; Stop returns
// with every streaming thread ended and no sink running.
class cVideoReceiver
{
public:
    using FrameSink = std::function<void(cVideoFrame&& frame)>;
    using BytesSink = std::function<void(const uint8_t* pData, size_t nSize)>;

    struct Figures
    {
        uint64_t nDecoded = 0;  // frames out of the decoder
        uint64_t nDropped = 0;  // decoded frames never handed over, and frames the decoder skipped to keep up
        uint64_t nBytes = 0;    // bytes from the source
        uint64_t nKlvGood = 0;      // metadata packets read, over every run of this receiver
        uint64_t nKlvRejected = 0;  // metadata packets the reader refused
    };

    cVideoReceiver();
    ~cVideoReceiver();
    cVideoReceiver(const cVideoReceiver&) = delete;
    cVideoReceiver& operator=(const cVideoReceiver&) = delete;

    // Set before Start; called on a streaming thread for every decoded frame.
    void SetFrameSink(FrameSink fnSink);
    // Any thread, at any time: the transport stream's bytes as they arrive
    // (nothing for RTP and RTSP sources); an empty function stops them.
    void SetStreamSink(BytesSink fnSink);

    // False when the pipeline cannot be built or started (Message() says why).
    bool Start(const std::string& sSource, int32_t nLatencyMs);
    void Stop();
    // The same source again, on a new pipeline.
    bool Restart();

    bool IsRunning() const;
    const cVideoSource& Source() const;
    const std::string& SourceText() const;
    Figures Counts() const;
    std::string Message() const;
    // The message is one that a new pipeline would meet again (a source that
    // cannot be read or built); an error met while streaming is not.
    bool MessageLasts() const;
    // An error met while streaming (the pipeline has stopped).
    bool HasStreamError() const;

    // The Debian package that provides a GStreamer element, for messages.
    static const char* PackageOf(const std::string& sElement);

private:
    struct cImpl;
    std::unique_ptr<cImpl> m_pImpl;
};
