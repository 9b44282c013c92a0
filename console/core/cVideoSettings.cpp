#include "cVideoSettings.h"

#include "DbgLog.h"
#include "XmlReader.h"
#include "cXmlAttributes.h"

#include <algorithm>

bool cVideoSettings::Read(const std::string& sPath)
{
    XmlReader reader(false, false, "VMS_Cfg");
    if (!reader.LoadConfigFile(sPath.c_str(), kSection))
    {
        DbgLog(DBG_DBG, "cVideoSettings::Read", __LINE__, DbgLogFormat("No %s section in %s: defaults", kSection, sPath.c_str()));
        return false;
    }
    const auto* pSection = reader.Current();
    cXmlAttributes::ReadBool(pSection, "bShowVideo", bShowVideo);
    cXmlAttributes::ReadText(pSection, "sVideoSource", sVideoSource);
    if (cXmlAttributes::ReadInt(pSection, "nVideoLatencyMs", nVideoLatencyMs))
        nVideoLatencyMs = std::clamp(nVideoLatencyMs, 0, 10000);
    cXmlAttributes::ReadText(pSection, "sVideoRecordFolder", sVideoRecordFolder);
    // An address byte or a mode out of range keeps its default.
    const auto readByte = [pSection](const char* szKey, int32_t& nValue, int32_t nLowest) {
        int32_t nRead = nValue;
        if (!cXmlAttributes::ReadInt(pSection, szKey, nRead))
            return;
        if (nRead < nLowest || nRead > 255)
        {
            DbgLog(DBG_WRN, "cVideoSettings::Read", __LINE__,
                   DbgLogFormat("%s = %d is out of range: %d kept", szKey, nRead, nValue));
            return;
        }
        nValue = nRead;
    };
    readByte("nDesignateSubSystem", nDesignateSubSystem, 0);
    readByte("nDesignateIndex", nDesignateIndex, 0);
    readByte("nDesignateItemX", nDesignateItemX, 0);
    readByte("nDesignateItemY", nDesignateItemY, 0);
    readByte("nDesignateMode", nDesignateMode, -1);
    readByte("nDesignateCancelMode", nDesignateCancelMode, -1);
    // Items are 0 to 127: the top bit marks a query.
    for (int32_t* pItem : {&nDesignateItemX, &nDesignateItemY})
    {
        if (*pItem > 127)
        {
            DbgLog(DBG_WRN, "cVideoSettings::Read", __LINE__, DbgLogFormat("Designation item %d is above 127: 20/21 kept", *pItem));
            nDesignateItemX = 20;
            nDesignateItemY = 21;
        }
    }
    return true;
}

std::string cVideoSettings::RecordFolder(const std::string& sLoggingDirectory) const
{
    return sVideoRecordFolder.empty() ? sLoggingDirectory : sVideoRecordFolder;
}
