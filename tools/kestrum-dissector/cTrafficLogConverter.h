#pragma once
#include "CommsSettings.h"
#include "PcapDatagram.h"
#include "cTrafficLogReader.h"

#include <string>
#include <vector>

// Turns the console's traffic logs into UDP datagrams on loopback for a
// capture file: what the console received comes from the remote system's
// port to its own, what it sent goes the other way; on the EO link for EO
// reports (first byte 0x77) and the empty datagram that opens that link, on
// the page link otherwise. A log counts time from its own start, so it is
// placed to end when its file was last written; logs are merged by time.
class cTrafficLogConverter
{
public:
    explicit cTrafficLogConverter(const CommsSettings& settings) : m_Comms(settings) {}

    // Adds one log's frames; false with Error() when it cannot be read.
    bool Add(const std::string& sPath);
    // Adds the frames of a log read already, whose last line was written at
    // dEndSeconds (since 1970).
    void Add(const cTrafficLogReader& reader, double dEndSeconds);

    // Every frame added so far, in time order.
    std::vector<PcapDatagram> Datagrams() const;
    // False with Error() when the file cannot be written.
    bool Write(const std::string& sPath);

    size_t PageDatagrams() const { return m_nPage; }
    size_t EoDatagrams() const { return m_nEo; }
    const std::vector<std::string>& Warnings() const { return m_Warnings; }
    const std::string& Error() const { return m_sError; }

private:
    CommsSettings m_Comms;
    std::vector<PcapDatagram> m_Datagrams;
    size_t m_nPage = 0;
    size_t m_nEo = 0;
    std::vector<std::string> m_Warnings;
    std::string m_sError;
};
