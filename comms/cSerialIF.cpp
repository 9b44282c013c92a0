#include "cSerialIF.h"

#include "DbgLog.h"

#include <boost/asio/write.hpp>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace
{
constexpr uint32_t kLog = CAT_COMMS;
}

cSerialIF::cSerialIF(const char* szName) : cCommsIF(szName)
{
}

cSerialIF::~cSerialIF()
{
    cSerialIF::Terminate();
}

bool cSerialIF::Initialise(const SerialPortCfg& settings, bool bStartRx, bool bStartLog)
{
    DbgLog(DBG_INF, "cSerialIF::Initialise", 90, "", kLog);
    if (!settings.nPortEnabled)
    {
        DbgLog(DBG_WRN, "cSerialIF::Initialise", 94, DbgLogFormat("(%s) port not enabled", Name()), kLog);
        return false;
    }
    return Initialise(settings.DevicePath(), settings.nBaudRate, bStartRx, settings.nParity, settings.nCharSize,
                      settings.nStopBits, settings.nReadTimeout, settings.nRtsControl, bStartLog);
}

bool cSerialIF::Initialise(const std::string& sPath, int32_t nBaudRate, bool bStartRx, int32_t nParity,
                           int32_t nCharSize, int32_t nStopBits, int32_t nReadTimeout, int32_t nRtsControl,
                           bool bStartLog)
{
    Terminate();
    if (!setupSerialPort(sPath, nBaudRate, nParity, nCharSize, nStopBits, nReadTimeout, nRtsControl))
        return false;
    if (!prepareRx("cSerialIF::Initialise", 59, bStartLog))
        return false;
    if (bStartRx && !startRx())
    {
        DbgLog(DBG_WRN, "cSerialIF::Initialise", 69, DbgLogFormat("(%s) failed to startRx()", Name()), kLog);
        Terminate();
        return false;
    }
    m_bInitialised = true;
    return true;
}

bool cSerialIF::setupSerialPort(const std::string& sPath, int32_t nBaudRate, int32_t nParity, int32_t nCharSize,
                                int32_t nStopBits, int32_t nReadTimeout, int32_t nRtsControl)
{
    static const char* const kFunction = "cSerialIF::setupSerialPort";
    if (m_pPort || m_pService)
    {
        DbgLog(DBG_ERR, kFunction, 393, "m_pPort already initialised", kLog);
        return false;
    }
    m_pService = std::make_shared<boost::asio::io_context>();
    m_pPort = std::make_shared<boost::asio::serial_port>(*m_pService);
    m_sPath = sPath;

    boost::system::error_code ec;
    m_pPort->open(sPath, ec);
    if (ec)
    {
        DbgLog(DBG_ERR, kFunction, 422, DbgLogFormat("m_pPort->open(%s) failed with error %s", sPath.c_str(), ec.message().c_str()),
               kLog);
        return false;
    }
    const int nHandle = m_pPort->native_handle();
    ioctl(nHandle, TIOCEXCL);  // exclusive use, as the port is on other systems

    using boost::asio::serial_port_base;
    m_pPort->set_option(serial_port_base::baud_rate(static_cast<unsigned>(nBaudRate)), ec);
    if (ec)
    {
        DbgLog(DBG_ERR, kFunction, 433,
               DbgLogFormat("m_pPort->set_option(%s) baud_rate(%d) failed with error code %d and detail %s", sPath.c_str(),
                            nBaudRate, ec.value(), ec.message().c_str()),
               kLog);
        return false;
    }
    const serial_port_base::stop_bits::type eStopBits = nStopBits == 0 ? serial_port_base::stop_bits::one
                                                        : nStopBits == 2 ? serial_port_base::stop_bits::two
                                                                         : serial_port_base::stop_bits::onepointfive;
    const serial_port_base::parity::type eParity = nParity == 1   ? serial_port_base::parity::odd
                                                   : nParity == 2 ? serial_port_base::parity::even
                                                                  : serial_port_base::parity::none;
    m_pPort->set_option(serial_port_base::character_size(static_cast<unsigned>(nCharSize)), ec);
    if (!ec)
        m_pPort->set_option(serial_port_base::stop_bits(eStopBits), ec);
    if (!ec)
        m_pPort->set_option(serial_port_base::parity(eParity), ec);
    if (!ec)
        m_pPort->set_option(serial_port_base::flow_control(serial_port_base::flow_control::none), ec);
    if (ec)
    {
        DbgLog(DBG_ERR, kFunction, 455,
               DbgLogFormat("m_pPort->set_option(%s) failed with error code %d and detail %s", sPath.c_str(), ec.value(),
                            ec.message().c_str()),
               kLog);
        return false;
    }

    SetReadBehaviour(nHandle, nReadTimeout);
    if (nRtsControl != 0)
        SetRtsControl(nHandle, nRtsControl);
    return true;
}

// Timeout 0: every read returns after one byte. Otherwise reads of up to 256
// bytes that wait up to the timeout for the first one.
void cSerialIF::SetReadBehaviour(int nHandle, int32_t nReadTimeout)
{
    static const char* const kFunction = "cSerialIF::setupSerialPort";
    termios settings{};
    if (tcgetattr(nHandle, &settings) != 0)
    {
        DbgLog(DBG_WRN, kFunction, 466, "GetCommTimeouts failed", kLog);
        return;
    }
    if (nReadTimeout == 0)
    {
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
        m_nChunkSize = 1;
    }
    else
    {
        const int32_t nTenths = (nReadTimeout + 99) / 100;
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = static_cast<cc_t>(nTenths > 255 ? 255 : nTenths);
        m_nChunkSize = static_cast<uint32_t>(kReceiveBufferSize);
    }
    if (tcsetattr(nHandle, TCSANOW, &settings) != 0)
        DbgLog(DBG_WRN, kFunction, 509, "SetCommTimeouts failed", kLog);
}

void cSerialIF::SetRtsControl(int nHandle, int32_t nRtsControl)
{
    static const char* const kFunction = "cSerialIF::setupSerialPort";
    if (nRtsControl == 1)
    {
        const int nBits = TIOCM_RTS;
        if (ioctl(nHandle, TIOCMBIS, &nBits) != 0)
            DbgLog(DBG_WRN, kFunction, 532, "SetCommState failed", kLog);
        return;
    }
    if (nRtsControl == 2)
    {
        termios settings{};
        if (tcgetattr(nHandle, &settings) != 0)
        {
            DbgLog(DBG_WRN, kFunction, 524, "GetCommState failed", kLog);
            return;
        }
        settings.c_cflag |= CRTSCTS;
        if (tcsetattr(nHandle, TCSANOW, &settings) != 0)
            DbgLog(DBG_WRN, kFunction, 532, "SetCommState failed", kLog);
        return;
    }
    // Toggle: the driver's RS-485 mode drives RTS around each transmission.
    serial_rs485 rs485{};
    if (ioctl(nHandle, TIOCGRS485, &rs485) != 0)
    {
        DbgLog(DBG_WRN, kFunction, 524, "GetCommState failed (no RS-485 mode for RTS toggle)", kLog);
        return;
    }
    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    rs485.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
    if (ioctl(nHandle, TIOCSRS485, &rs485) != 0)
        DbgLog(DBG_WRN, kFunction, 532, "SetCommState failed", kLog);
}

bool cSerialIF::startRx()
{
    std::lock_guard<std::mutex> lock(m_StartMutex);
    if (m_bStarted || !m_pService)
        return m_bStarted;
    m_pServiceThread = std::make_unique<cServiceThread>(
        "cSerialIF", *m_pService,
        [this] {
            DbgLog(DBG_INF, "cSerialIF::execute", 593, "", kLog);
            m_bServiceRunning = true;
        },
        [this] {
            m_bServiceRunning = false;
            DbgLog(DBG_INF, "cSerialIF::execute", 615, "Completed", kLog);
        });
    if (!m_pServiceThread->Start())
        return false;
    start_receive();
    m_bStarted = true;
    return true;
}

bool cSerialIF::stopRx()
{
    if (m_pServiceThread)
        m_pServiceThread->Stop();
    return true;
}

void cSerialIF::start_receive()
{
    if (!m_pPort || !m_pPort->is_open())
        return;
    const size_t nChunk = m_nChunkSize > kReceiveBufferSize ? kReceiveBufferSize : m_nChunkSize;
    try
    {
        m_pPort->async_read_some(boost::asio::buffer(m_RxBuffer.data(), nChunk),
                                 [this](const boost::system::error_code& ec, size_t nBytes) { handle_receive(ec, nBytes); });
    }
    catch (const boost::system::system_error& e)
    {
        int64_t nTime = 0;
        getTime(nTime);
        ReportStatus(e.code().value(),
                     DbgLogFormat("cSerialIF::start_receive() received error %s (%lld)", e.what(), static_cast<long long>(nTime)));
    }
}

void cSerialIF::handle_receive(const boost::system::error_code& ec, size_t nBytes)
{
    std::lock_guard<std::mutex> lock(m_ReceiveMutex);
    if (ec && ec != boost::asio::error::message_size)
    {
        // Closing the port ourselves aborts the read: that is no fault to report.
        if (!(m_bStopping && ec == boost::asio::error::operation_aborted))
            ReportStatus(ec.value(), DbgLogFormat("cSerialIF::handle_receive() received error (%d:%s)", ec.value(),
                                                  ec.message().c_str()));
        return;
    }
    m_bReceivedAnything = true;
    processRxDataDefault(m_RxBuffer.data(), static_cast<int32_t>(nBytes));
    if (!m_bStopping)
        start_receive();
}

void cSerialIF::ReportStatus(int nCode, const char* szText)
{
    int64_t nTime = 0;
    getTime(nTime);
    m_sigStatus(nTime, nCode, szText);
}

int cSerialIF::messageSend(const uint8_t* pData, int32_t nCount)
{
    if (!m_pPort || !m_pPort->is_open() || nCount < 0 || (nCount > 0 && !pData))
        return 1;
    boost::system::error_code ec;
    const size_t nWritten = boost::asio::write(*m_pPort, boost::asio::buffer(pData, static_cast<size_t>(nCount)), ec);
    if (!ec && nWritten == static_cast<size_t>(nCount))
    {
        ++m_nSentCount;
        {
            std::lock_guard<std::mutex> lock(m_LastSentMutex);
            if (nCount <= 255)
            {
                std::copy(pData, pData + nCount, m_LastSent.begin());
                m_nLastSentLength = nCount;
            }
            else
            {
                m_nLastSentLength = 0;
            }
        }
        logTx(pData, nCount, nullptr);
        return 0;
    }
    DbgLog(DBG_ERR, "cSerialIF::messageSend", 214,
           DbgLogFormat("m_pPort->write_some failed with error %s", ec ? ec.message().c_str() : "short write"), kLog);
    return 1;
}

int32_t cSerialIF::lastSent(uint8_t* pBuffer, int32_t nSize) const
{
    std::lock_guard<std::mutex> lock(m_LastSentMutex);
    if (pBuffer && nSize >= m_nLastSentLength)
        std::copy(m_LastSent.begin(), m_LastSent.begin() + m_nLastSentLength, pBuffer);
    return m_nLastSentLength;
}

bool cSerialIF::isOpen()
{
    return m_pPort && m_pPort->is_open();
}

bool cSerialIF::Purge(int nQueue)
{
    if (!isOpen())
        return false;
    return tcflush(m_pPort->native_handle(), nQueue) == 0;
}

bool cSerialIF::purgeRx()
{
    return Purge(TCIFLUSH);
}

bool cSerialIF::purgeTx()
{
    return Purge(TCOFLUSH);
}

bool cSerialIF::purgeRxTx()
{
    return Purge(TCIOFLUSH);
}

void cSerialIF::Terminate()
{
    if (!m_pPort)
        return;
    {
        std::lock_guard<std::mutex> lock(m_ReceiveMutex);
        m_bInitialised = false;
        m_bStopping = true;
    }
    // Joins the service thread (never under the receive lock, which its
    // completions take); the port is then closed with no read in flight.
    stopRx();
    if (m_pPort->is_open())
    {
        boost::system::error_code ec;
        m_pPort->close(ec);
        if (ec)
            DbgLog(DBG_ERR, "cSerialIF::Terminate", __LINE__, DbgLogFormat("close failed: %s", ec.message().c_str()), kLog);
    }
    // The thread is joined, not polled for: no waits.
    DbgLog(DBG_INF, "cSerialIF::Terminate", 144, DbgLogFormat("Stopped after %d waits", 0), kLog);
    cCommsIF::Terminate();
    m_pServiceThread.reset();
    m_pPort.reset();
    m_pService.reset();
    {
        std::lock_guard<std::mutex> lock(m_StartMutex);
        m_bStarted = false;  // a later Initialise starts a new service thread
    }
    std::lock_guard<std::mutex> lock(m_ReceiveMutex);
    m_bStopping = false;
}
