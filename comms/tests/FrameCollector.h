#pragma once
#include "cCommsIO.h"
#include "cCommsIF.h"
#include "cEvent.h"
#include "cRxProtocol.h"

#include <cstdint>
#include <mutex>
#include <vector>

// A protocol object for tests: loads one frame descriptor into its transport's
// framer and keeps every frame handed to it.
class FrameCollector : public cCommsIO
{
public:
    struct Layout
    {
        uint8_t nSync;
        int32_t nMode;
        int32_t nLengthPos;
        int32_t nAdjust;
    };
    static constexpr Layout kShort{0x10, MsgDescriptor::kOneByteLength, 3, 5};
    static constexpr Layout kLong{0x99, MsgDescriptor::kTwoByteLength, 5, 0};
    static constexpr Layout kEo{0x77, MsgDescriptor::kTwoByteLength, 3, 0};

    explicit FrameCollector(Layout layout = kShort) : cCommsIO("FrameCollector"), m_Layout(layout) {}
    ~FrameCollector() override { close(); }

    bool loadRxMsgDescriptors() override
    {
        cCommsIF* pCommsIF = getCommsIF();
        if (!pCommsIF || !pCommsIF->loadProtocol(nullptr))
            return false;
        pCommsIF->getProtocol()->m_nDefaultSync = m_Layout.nSync;
        return pCommsIF->getProtocol()->LoadMsgDescriptor(m_Layout.nMode, m_Layout.nLengthPos, m_Layout.nAdjust, this) == 0;
    }

    void VerifyChecksum(const uint8_t* pFrame, int32_t nLength, int64_t) override
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Frames.emplace_back(pFrame, pFrame + nLength);
        }
        m_FrameEvent.Set();
    }

    // Waits until at least nCount frames have arrived (generous bound).
    bool WaitForFrames(size_t nCount, uint32_t nTimeoutMs = 10000)
    {
        for (;;)
        {
            if (Count() >= nCount)
                return true;
            if (!m_FrameEvent.Wait(nTimeoutMs))
                return Count() >= nCount;
        }
    }

    size_t Count()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Frames.size();
    }

    std::vector<std::vector<uint8_t>> Frames()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Frames;
    }

private:
    Layout m_Layout;
    std::mutex m_Mutex;
    std::vector<std::vector<uint8_t>> m_Frames;
    cEvent m_FrameEvent;
};
