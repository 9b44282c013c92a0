#include "cTrafficLogConverter.h"

#include "RC_FrameSync.h"
#include "cPcapWriter.h"

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

bool cTrafficLogConverter::Add(const std::string& sPath)
{
    cTrafficLogReader reader;
    if (!reader.Read(sPath))
    {
        m_sError = reader.Error();
        return false;
    }
    struct stat info = {};
    const double dEnd = stat(sPath.c_str(), &info) == 0
                            ? static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) * 1e-9
                            : 0.0;
    Add(reader, dEnd);
    if (reader.Records().empty())
        m_Warnings.push_back(sPath + ": no frames");
    return true;
}

void cTrafficLogConverter::Add(const cTrafficLogReader& reader, double dEndSeconds)
{
    m_Warnings.insert(m_Warnings.end(), reader.Warnings().begin(), reader.Warnings().end());
    const std::vector<cTrafficLogReader::Record>& records = reader.Records();
    if (records.empty())
        return;
    const double dStart = dEndSeconds - records.back().dSeconds;
    for (const cTrafficLogReader::Record& record : records)
    {
        const bool bReceived = record.sComment.compare(0, 2, "Rx") == 0;
        const bool bSent = record.sComment.compare(0, 2, "Tx") == 0;
        if (!bReceived && !bSent)
            continue;
        const bool bEo = record.bytes.empty() ? bSent : record.bytes[0] == RC_EoSync;
        const int32_t nConsolePort = bEo ? m_Comms.nEoRxPort : m_Comms.nRxPort;
        const int32_t nRemotePort = bEo ? m_Comms.nEoTxPort : m_Comms.nTxPort;
        PcapDatagram datagram;
        datagram.dSeconds = dStart + record.dSeconds;
        datagram.nSrcPort = static_cast<uint16_t>(bReceived ? nRemotePort : nConsolePort);
        datagram.nDstPort = static_cast<uint16_t>(bReceived ? nConsolePort : nRemotePort);
        datagram.bytes = record.bytes;
        datagram.bPartial = record.bPartial;
        m_Datagrams.push_back(std::move(datagram));
        ++(bEo ? m_nEo : m_nPage);
    }
}

std::vector<PcapDatagram> cTrafficLogConverter::Datagrams() const
{
    std::vector<PcapDatagram> datagrams = m_Datagrams;
    std::stable_sort(datagrams.begin(), datagrams.end(),
                     [](const PcapDatagram& a, const PcapDatagram& b) { return a.dSeconds < b.dSeconds; });
    return datagrams;
}

bool cTrafficLogConverter::Write(const std::string& sPath)
{
    std::ofstream out(sPath, std::ios::binary | std::ios::trunc);
    if (!out)
    {
        m_sError = sPath + ": cannot write the file";
        return false;
    }
    cPcapWriter writer(out);
    for (const PcapDatagram& datagram : Datagrams())
    {
        if (!writer.Write(datagram))
        {
            m_sError = sPath + ": cannot write the file";
            return false;
        }
    }
    out.close();
    if (!out)
    {
        m_sError = sPath + ": cannot write the file";
        return false;
    }
    return true;
}
