#include "cSimLinkImpairment.h"

namespace
{
// Set while a frame that has been through an impairment goes on to the link,
// on whichever thread that is, so that the link's entry lets it pass.
thread_local bool s_bReleasingTx = false;
thread_local bool s_bReleasingRx = false;

void Release(bool& bFlag, const cSimLinkImpairment::Handler& fnHandler, const cSimLinkImpairment::Bytes& frame)
{
    bFlag = true;
    fnHandler(frame);
    bFlag = false;
}
} // namespace

cSimLinkImpairment::cSimLinkImpairment(const cSimImpairment::Settings& tx, const cSimImpairment::Settings& rx,
                                       uint64_t nSeed, uint32_t nLink)
    : m_TxSettings(tx), m_RxSettings(rx), m_nSeed(nSeed), m_nLink(nLink)
{
}

cSimLinkImpairment::~cSimLinkImpairment()
{
    Stop();
}

void cSimLinkImpairment::Start(Handler fnSend, Handler fnDeliver, size_t nRxKeepBytes)
{
    Stop();
    m_pTx.reset();
    m_pRx.reset();
    m_pIo = std::make_unique<boost::asio::io_context>();
    m_Guard.emplace(m_pIo->get_executor());
    if (m_TxSettings.On() && fnSend)
        m_pTx = std::make_unique<cSimImpairment>(
            m_TxSettings, cSimImpairment::SeedFor(m_nSeed, m_nLink, 0), *m_pIo,
            [fnSend](const Bytes& frame) { Release(s_bReleasingTx, fnSend, frame); }, kTxKeepBytes);
    if (m_RxSettings.On() && fnDeliver)
        m_pRx = std::make_unique<cSimImpairment>(
            m_RxSettings, cSimImpairment::SeedFor(m_nSeed, m_nLink, 1), *m_pIo,
            [fnDeliver](const Bytes& frame) { Release(s_bReleasingRx, fnDeliver, frame); }, nRxKeepBytes);
    m_Thread = std::thread([this] { m_pIo->run(); });
}

void cSimLinkImpairment::Stop()
{
    if (m_pTx)
        m_pTx->Close();
    if (m_pRx)
        m_pRx->Close();
    m_Guard.reset();
    if (m_pIo)
        m_pIo->stop();
    if (m_Thread.joinable())
        m_Thread.join();
}

bool cSimLinkImpairment::Tx(const Bytes& frame)
{
    if (!m_pTx || s_bReleasingTx)
        return false;
    m_pTx->Pass(frame);
    return true;
}

bool cSimLinkImpairment::Rx(const uint8_t* pFrame, int32_t nLength)
{
    if (!m_pRx || s_bReleasingRx || !pFrame || nLength < 0)
        return false;
    m_pRx->Pass(pFrame, static_cast<size_t>(nLength));
    return true;
}
