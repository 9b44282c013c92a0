#include "cTrafficLogReader.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <regex>

namespace
{
const char* const kBufferHeader = "Time, [Comment], Count, Data";
const char* const kCommsHeader = "Time, [Tx/Rx], [Comment], Count, Data";

// Lines the loggers write around their data: start, stop and comment lines.
const std::regex kBufferStarted(R"(\d+, Log started ?)");
const std::regex kStopped(R"(\d+, Log stopped ?)");
const std::regex kCommsStarted(R"(Log started ?)");
const std::regex kComment(R"(-?\d+ \S+ since Jan 1, 1970( .*)?)");
// The time columns: elapsed milliseconds with the gap ("1250**250", "1270:020",
// "5:  5"), or seconds with six decimals.
const std::regex kBufferTime(R"((\d+)(\*\*|:) *\d+)");
const std::regex kCommsTime(R"(-?\d+\.\d+)");

std::vector<std::string> Split(const std::string& sLine)
{
    std::vector<std::string> fields;
    size_t nStart = 0;
    for (;;)
    {
        const size_t nComma = sLine.find(',', nStart);
        fields.push_back(sLine.substr(nStart, nComma - nStart));
        if (nComma == std::string::npos)
            return fields;
        nStart = nComma + 1;
    }
}

bool IsByte(const std::string& sField)
{
    return sField.size() == 4 && sField[0] == '0' && sField[1] == 'x' && std::isxdigit(static_cast<unsigned char>(sField[2])) &&
           std::isxdigit(static_cast<unsigned char>(sField[3]));
}

bool IsDigits(const std::string& sField)
{
    if (sField.empty())
        return false;
    for (char c : sField)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// A byte field cut short by the end of the file: "0", "0x" or "0xa".
bool IsCutByte(const std::string& sField)
{
    return sField == "0" || sField == "0x" ||
           (sField.size() == 3 && sField.compare(0, 2, "0x") == 0 && std::isxdigit(static_cast<unsigned char>(sField[2])));
}
} // namespace

bool cTrafficLogReader::Read(const std::string& sPath)
{
    std::ifstream in(sPath, std::ios::binary);
    if (!in)
        return Fail(sPath, 0, "cannot open the file");
    return Parse(in, sPath);
}

bool cTrafficLogReader::Fail(const std::string& sName, int32_t nLine, const std::string& sWhat)
{
    m_sError = nLine > 0 ? sName + ":" + std::to_string(nLine) + ": " + sWhat : sName + ": " + sWhat;
    return false;
}

bool cTrafficLogReader::Parse(std::istream& in, const std::string& sName)
{
    m_eFormat = eFormat::Unknown;
    m_Records.clear();
    m_Warnings.clear();
    m_sError.clear();

    std::string sLine;
    int32_t nLine = 0;
    while (std::getline(in, sLine))
    {
        ++nLine;
        // A line the writer never ended is the last one, cut by a stop mid-write.
        const bool bLast = in.eof();
        if (!sLine.empty() && sLine.back() == '\r')
            sLine.pop_back();
        if (nLine == 1)
        {
            if (sLine == kBufferHeader)
                m_eFormat = eFormat::BufferLog;
            else if (sLine == kCommsHeader)
                m_eFormat = eFormat::CommsLog;
            else
                return Fail(sName, 1, "not a traffic log: the first line is neither \"" + std::string(kBufferHeader) +
                                          "\" nor \"" + kCommsHeader + "\"");
            continue;
        }
        if (sLine.empty() && bLast)
            break;
        const std::regex& started = m_eFormat == eFormat::BufferLog ? kBufferStarted : kCommsStarted;
        if (std::regex_match(sLine, started) || std::regex_match(sLine, kStopped) ||
            (m_eFormat == eFormat::CommsLog && std::regex_match(sLine, kComment)))
            continue;
        if (!ParseData(sLine, nLine, bLast, sName))
            return false;
    }
    if (nLine == 0)
        return Fail(sName, 0, "the file is empty");
    return true;
}

bool cTrafficLogReader::ParseData(const std::string& sLine, int32_t nLine, bool bLast, const std::string& sName)
{
    std::vector<std::string> fields = Split(sLine);
    Record record;
    record.nLine = nLine;

    std::smatch match;
    if (m_eFormat == eFormat::BufferLog && std::regex_match(fields[0], match, kBufferTime))
        record.dSeconds = std::strtod(match[1].str().c_str(), nullptr) / 1000.0;
    else if (m_eFormat == eFormat::CommsLog && std::regex_match(fields[0], kCommsTime))
        record.dSeconds = std::strtod(fields[0].c_str(), nullptr);
    else if (bLast && fields.size() == 1)
    {
        m_Warnings.push_back(sName + ":" + std::to_string(nLine) + ": last line cut before its data; left out");
        return true;
    }
    else
        return Fail(sName, nLine, "not a data line: bad time \"" + fields[0] + "\"");

    // From the right: the bytes, then the count; what lies between the time
    // and the count is the comment (which may hold commas itself).
    if (bLast && fields.size() > 1 && IsCutByte(fields.back()))
    {
        fields.pop_back();
        record.bPartial = true;
    }
    size_t nCount = fields.size();
    while (nCount > 1 && IsByte(fields[nCount - 1]))
        --nCount;
    const size_t nCountField = nCount - 1;
    if (nCountField == 0 || !IsDigits(fields[nCountField]))
    {
        if (bLast)
        {
            // Cut before its bytes began: nothing of the message to keep.
            m_Warnings.push_back(sName + ":" + std::to_string(nLine) + ": last line cut before its data; left out");
            return true;
        }
        const std::string& sBad = fields[nCountField < fields.size() ? nCountField : 0];
        return Fail(sName, nLine, "not a data line: \"" + sBad + "\" is neither a byte (0xNN) nor a count");
    }
    for (size_t n = 1; n < nCountField; ++n)
        record.sComment += (n > 1 ? "," : "") + fields[n];
    for (size_t n = nCountField + 1; n < fields.size(); ++n)
        record.bytes.push_back(static_cast<uint8_t>(std::strtoul(fields[n].c_str() + 2, nullptr, 16)));

    const unsigned long nDeclared = std::strtoul(fields[nCountField].c_str(), nullptr, 10);
    if (nDeclared < record.bytes.size())
        return Fail(sName, nLine, "count " + fields[nCountField] + " but " + std::to_string(record.bytes.size()) + " bytes");
    if (nDeclared > record.bytes.size())
        record.bPartial = true;
    if (record.bPartial)
        m_Warnings.push_back(sName + ":" + std::to_string(nLine) + ": " + std::to_string(record.bytes.size()) + " of " +
                             std::to_string(nDeclared) + " bytes recorded");
    m_Records.push_back(std::move(record));
    return true;
}

std::vector<cTrafficLogReader::Record> cTrafficLogReader::Received() const
{
    std::vector<Record> received;
    for (const Record& record : m_Records)
        if (record.sComment.compare(0, 2, "Rx") == 0)
            received.push_back(record);
    return received;
}
