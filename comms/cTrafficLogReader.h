#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// Reads back a traffic log that cBufferLog (a protocol object's messages,
// milliseconds since opening) or cCommsLogger (a transport's traffic, seconds
// since the process's log zero) wrote: every data line with its time, comment
// and bytes. A line that holds fewer bytes than its count says (the file ended
// in the middle of it, or the line was cut) is kept as it stands and marked
// partial; a line that is none of the logs' lines is an error naming it.
class cTrafficLogReader
{
public:
    enum class eFormat
    {
        Unknown,
        BufferLog,  // "Time, [Comment], Count, Data"
        CommsLog,   // "Time, [Tx/Rx], [Comment], Count, Data"
    };

    struct Record
    {
        double dSeconds = 0.0;  // as the log counts them
        std::string sComment;   // "Rx Msg", "Tx Msg", "Tx,label", "Rx Skip", ...
        std::vector<uint8_t> bytes;
        int32_t nLine = 0;
        bool bPartial = false;  // fewer bytes than the line's count
    };

    // False with Error() saying "file:line: what" when the file cannot be read
    // or holds a line that is not a traffic log's.
    bool Read(const std::string& sPath);
    bool Parse(std::istream& in, const std::string& sName);

    eFormat Format() const { return m_eFormat; }
    const std::vector<Record>& Records() const { return m_Records; }
    // What the console received (comments beginning "Rx"), in file order.
    std::vector<Record> Received() const;
    // One text per partial line, for the reader to pass on.
    const std::vector<std::string>& Warnings() const { return m_Warnings; }
    const std::string& Error() const { return m_sError; }

private:
    bool ParseData(const std::string& sLine, int32_t nLine, bool bLast, const std::string& sName);
    bool Fail(const std::string& sName, int32_t nLine, const std::string& sWhat);

    eFormat m_eFormat = eFormat::Unknown;
    std::vector<Record> m_Records;
    std::vector<std::string> m_Warnings;
    std::string m_sError;
};
