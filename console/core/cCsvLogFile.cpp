#include "cCsvLogFile.h"

#include "DbgLog.h"
#include "cFileHelpers.h"

#include <chrono>
#include <cstdio>

cCsvLogFile::~cCsvLogFile()
{
    // Deliberately without the "finished" line: only Close writes it.
    if (m_File.is_open())
        m_File.close();
}

std::string cCsvLogFile::MakeFileName(const std::string& sFolder, const std::string& sName, const std::tm& tLocal)
{
    std::string sSafeName = sName;
    for (char& c : sSafeName)
    {
        if (c == '/')
            c = '_';
    }
    char szStamp[64];
    std::snprintf(szStamp, sizeof(szStamp), "-%04d-%02d-%02d_%02d-%02d-%02d.csv", tLocal.tm_year + 1900,
                  tLocal.tm_mon + 1, tLocal.tm_mday, tLocal.tm_hour, tLocal.tm_min, tLocal.tm_sec);
    return sFolder + "/" + sSafeName + szStamp;
}

std::string cCsvLogFile::TimeOfDay()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t tNow = std::chrono::system_clock::to_time_t(now);
    const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tLocal{};
    localtime_r(&tNow, &tLocal);
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%02d:%02d:%02d.%03d", tLocal.tm_hour, tLocal.tm_min, tLocal.tm_sec,
                  static_cast<int>(nMs));
    return szText;
}

bool cCsvLogFile::Open(const std::string& sFolder, const std::string& sName)
{
    if (m_File.is_open())
        m_File.close();
    if (!cFileHelpers::CreateFolder(sFolder))
        return false;
    const std::time_t tNow = std::time(nullptr);
    std::tm tLocal{};
    localtime_r(&tNow, &tLocal);
    m_sPath = MakeFileName(sFolder, sName, tLocal);
    m_File.open(m_sPath, std::ios::out | std::ios::trunc);
    if (!m_File.is_open())
    {
        DbgLog(DBG_ERR, "cCsvLogFile::Open", __LINE__, DbgLogFormat("Failed to open %s", m_sPath.c_str()));
        return false;
    }
    m_File << "Log started at: " << TimeOfDay() << "\n";
    return true;
}

void cCsvLogFile::Write(const std::string& sText)
{
    if (m_File.is_open())
        m_File << sText;
}

void cCsvLogFile::Flush()
{
    if (m_File.is_open())
        m_File.flush();
}

void cCsvLogFile::Close()
{
    if (!m_File.is_open())
        return;
    m_File << "\nLog finished at: " << TimeOfDay();
    m_File.close();
}

std::string cCsvLogFile::Field(const std::string& sText)
{
    if (sText.find_first_of(",\"\r\n") == std::string::npos)
        return sText;
    std::string sQuoted = "\"";
    for (char c : sText)
    {
        if (c == '"')
            sQuoted += '"';
        sQuoted += c;
    }
    return sQuoted + "\"";
}
