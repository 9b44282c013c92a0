#include "cUserCommsSettingsFile.h"

#include "DbgLog.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace
{
std::string Trim(const std::string& sText)
{
    const size_t nFirst = sText.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos)
        return {};
    return sText.substr(nFirst, sText.find_last_not_of(" \t\r") - nFirst + 1);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& sOut, unsigned nCode)
{
    if (nCode < 0x80)
        sOut += static_cast<char>(nCode);
    else if (nCode < 0x800)
    {
        sOut += static_cast<char>(0xC0 | (nCode >> 6));
        sOut += static_cast<char>(0x80 | (nCode & 0x3F));
    }
    else
    {
        sOut += static_cast<char>(0xE0 | (nCode >> 12));
        sOut += static_cast<char>(0x80 | ((nCode >> 6) & 0x3F));
        sOut += static_cast<char>(0x80 | (nCode & 0x3F));
    }
}

// An integer entry as the console takes it: the whole (trimmed) text in
// decimal and in range, else the value stays.
void ReadInt(const std::map<std::string, std::string>& entries, const char* szKey, int32_t& nValue)
{
    const auto it = entries.find(szKey);
    if (it == entries.end())
        return;
    const std::string sText = Trim(it->second);
    char* pEnd = nullptr;
    errno = 0;
    const long nParsed = std::strtol(sText.c_str(), &pEnd, 10);
    if (sText.empty() || errno != 0 || *pEnd != '\0' || nParsed < INT32_MIN || nParsed > INT32_MAX)
        return;
    nValue = static_cast<int32_t>(nParsed);
}
} // namespace

std::string cUserCommsSettingsFile::DefaultPath()
{
    // A relative XDG_CONFIG_HOME is not used, as Qt does not use it either.
    const char* szConfig = std::getenv("XDG_CONFIG_HOME");
    std::string sFolder;
    if (szConfig && szConfig[0] == '/')
        sFolder = szConfig;
    else
    {
        const char* szHome = std::getenv("HOME");
        if (!szHome || !*szHome)
        {
            const passwd* pEntry = getpwuid(getuid());
            szHome = pEntry ? pEntry->pw_dir : "";
        }
        sFolder = std::string(szHome) + "/.config";
    }
    return sFolder + "/Halvorn Ltd/Kestrum.conf";
}

std::string cUserCommsSettingsFile::UnescapeName(const std::string& sName)
{
    // %XX is a byte, %UXXXX a character; '\' stands for the '/' of a sub-key.
    std::string sOut;
    for (size_t n = 0; n < sName.size(); ++n)
    {
        const char c = sName[n];
        if (c == '%' && n + 5 < sName.size() && sName[n + 1] == 'U')
        {
            unsigned nCode = 0;
            bool bHex = true;
            for (size_t k = 2; k < 6; ++k)
            {
                const int nDigit = HexDigit(sName[n + k]);
                bHex = bHex && nDigit >= 0;
                nCode = nCode * 16 + static_cast<unsigned>(nDigit < 0 ? 0 : nDigit);
            }
            if (bHex)
            {
                AppendUtf8(sOut, nCode);
                n += 5;
                continue;
            }
        }
        if (c == '%' && n + 2 < sName.size() && HexDigit(sName[n + 1]) >= 0 && HexDigit(sName[n + 2]) >= 0)
        {
            sOut += static_cast<char>(HexDigit(sName[n + 1]) * 16 + HexDigit(sName[n + 2]));
            n += 2;
            continue;
        }
        sOut += c == '\\' ? '/' : c;
    }
    return sOut;
}

std::string cUserCommsSettingsFile::UnescapeValue(const std::string& sValue)
{
    // Quoted runs keep their blanks; outside them leading and trailing blanks
    // go. Backslash escapes as the store writes them.
    std::string sOut;
    bool bQuoted = false;
    size_t nKeep = 0;  // sOut up to here must stay (quoted or escaped)
    const std::string sText = Trim(sValue);
    for (size_t n = 0; n < sText.size(); ++n)
    {
        const char c = sText[n];
        if (c == '"')
        {
            bQuoted = !bQuoted;
            nKeep = sOut.size();
            continue;
        }
        if (c == '\\' && n + 1 < sText.size())
        {
            const char e = sText[++n];
            switch (e)
            {
            case 'a': sOut += '\a'; break;
            case 'b': sOut += '\b'; break;
            case 'f': sOut += '\f'; break;
            case 'n': sOut += '\n'; break;
            case 'r': sOut += '\r'; break;
            case 't': sOut += '\t'; break;
            case 'v': sOut += '\v'; break;
            case 'x':
            {
                unsigned nCode = 0;
                while (n + 1 < sText.size() && HexDigit(sText[n + 1]) >= 0)
                    nCode = nCode * 16 + static_cast<unsigned>(HexDigit(sText[++n]));
                AppendUtf8(sOut, nCode);
                break;
            }
            default: sOut += e; break;
            }
            nKeep = sOut.size();
            continue;
        }
        if (!bQuoted && c == ';')
            break;  // the rest of the line is a comment
        sOut += c;
        if (bQuoted)
            nKeep = sOut.size();
    }
    // Blanks left before a comment, outside quotes.
    size_t nEnd = sOut.size();
    while (nEnd > nKeep && (sOut[nEnd - 1] == ' ' || sOut[nEnd - 1] == '\t'))
        --nEnd;
    sOut.resize(nEnd);
    // A text that begins with '@' is stored with a second one.
    if (sOut.rfind("@@", 0) == 0)
        sOut.erase(0, 1);
    return sOut;
}

std::map<std::string, std::string> cUserCommsSettingsFile::ReadGroup(const std::string& sPath,
                                                                     const std::string& sGroup)
{
    std::map<std::string, std::string> entries;
    std::ifstream in(sPath);
    std::string sLine;
    bool bInGroup = false;
    while (std::getline(in, sLine))
    {
        const std::string sTrimmed = Trim(sLine);
        if (sTrimmed.empty() || sTrimmed[0] == ';' || sTrimmed[0] == '#')
            continue;
        if (sTrimmed.front() == '[')
        {
            const size_t nClose = sTrimmed.find(']');
            bInGroup = nClose != std::string::npos && UnescapeName(sTrimmed.substr(1, nClose - 1)) == sGroup;
            continue;
        }
        const size_t nEquals = sTrimmed.find('=');
        if (!bInGroup || nEquals == std::string::npos)
            continue;
        // A key stored twice: the last one counts.
        entries[UnescapeName(Trim(sTrimmed.substr(0, nEquals)))] = UnescapeValue(sTrimmed.substr(nEquals + 1));
    }
    return entries;
}

bool cUserCommsSettingsFile::ReadRegistrySettings(CommsSettings& settings, const std::string& sPath)
{
    if (access(sPath.c_str(), F_OK) != 0)
        return true;
    std::ifstream probe(sPath);
    if (!probe.is_open())
    {
        DbgLog(DBG_ERR, "cUserCommsSettingsFile::ReadRegistrySettings", __LINE__,
               DbgLogFormat("Cannot read %s", sPath.c_str()));
        return false;
    }
    const std::map<std::string, std::string> entries = ReadGroup(sPath, kGroup);
    for (const NumberEntry& entry : kNumbers)
        ReadInt(entries, entry.szName, settings.*entry.pnValue);
    const auto it = entries.find(kIpAddress);
    if (it != entries.end())
        settings.sIpAddress = it->second;
    return true;
}
