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
    return true;
}

std::string cVideoSettings::RecordFolder(const std::string& sLoggingDirectory) const
{
    return sVideoRecordFolder.empty() ? sLoggingDirectory : sVideoRecordFolder;
}
