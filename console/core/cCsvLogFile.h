#pragma once
#include <ctime>
#include <fstream>
#include <string>

// One CSV log: folder/name-YYYY-MM-DD_HH-MM-SS.csv, opened with a "Log started
// at" line and closed with a "Log finished at" line. Not thread-safe: the
// owner serialises its calls.
class cCsvLogFile
{
public:
    cCsvLogFile() = default;
    ~cCsvLogFile();
    cCsvLogFile(const cCsvLogFile&) = delete;
    cCsvLogFile& operator=(const cCsvLogFile&) = delete;

    bool Open(const std::string& sFolder, const std::string& sName);
    void Write(const std::string& sText);
    // Hands what is written so far to the file, for readers while it runs.
    void Flush();
    void Close();
    bool IsOpen() const { return m_File.is_open(); }
    const std::string& Path() const { return m_sPath; }

    // The file a log started at tLocal gets. A '/' in the name would make a
    // sub-folder, so it becomes '_' ("EO/IR" logs as EO_IR-...).
    static std::string MakeFileName(const std::string& sFolder, const std::string& sName, const std::tm& tLocal);
    // The local time as HH:MM:SS.mmm.
    static std::string TimeOfDay();
    // A text holding the separator, a quote or a line end is quoted, so that
    // it stays one column.
    static std::string Field(const std::string& sText);

private:
    std::ofstream m_File;
    std::string m_sPath;
};
