#include "cLandingSettings.h"

#include "DbgLog.h"
#include "XmlReader.h"
#include "cXmlAttributes.h"

#include <algorithm>
#include <cmath>

bool cLandingSettings::Read(const std::string& sPath, bool bWithZoomSpeed)
{
    XmlReader reader(false, true, "VMS_Cfg");
    if (!reader.LoadConfigFile(sPath.c_str(), kSection))
    {
        DbgLog(DBG_ERR, "cLandingDlg::ReadConfigFile", __LINE__,
               DbgLogFormat("Failed to find %s in %s", kSection, sPath.c_str()));
        return false;
    }
    const auto* pSection = reader.Current();
    cXmlAttributes::ReadInt(pSection, "nAcqSliderMinX", nAcqSliderMinX);
    cXmlAttributes::ReadInt(pSection, "nAcqSliderMaxX", nAcqSliderMaxX);
    cXmlAttributes::ReadInt(pSection, "nAcqSliderMinY", nAcqSliderMinY);
    cXmlAttributes::ReadInt(pSection, "nAcqSliderMaxY", nAcqSliderMaxY);
    cXmlAttributes::ReadInt(pSection, "nNumberOfVideoChannels", nNumberOfVideoChannels);
    cXmlAttributes::ReadBool(pSection, "bShowClassifierOptions", bShowClassifierOptions);
    if (bWithZoomSpeed)
    {
        double dSpeed = fZoomSpeed;
        cXmlAttributes::ReadReal(pSection, "fZoomSpeed", dSpeed);
        // "nan" reads as a number too; it keeps the default.
        if (!std::isnan(dSpeed))
            fZoomSpeed = std::clamp(dSpeed, 0.0, 1.0);
    }
    return true;
}
