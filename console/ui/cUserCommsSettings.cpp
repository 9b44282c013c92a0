#include "cUserCommsSettings.h"

#include "cAppIdentity.h"
#include "cUserCommsSettingsFile.h"

#include <QSettings>

void cUserCommsSettings::Write(const CommsSettings& settings)
{
    const std::unique_ptr<QSettings> pStore = cAppIdentity::UserSettings();
    QSettings& store = *pStore;
    store.beginGroup(QLatin1String(cUserCommsSettingsFile::kGroup));
    for (const cUserCommsSettingsFile::NumberEntry& entry : cUserCommsSettingsFile::kNumbers)
        store.setValue(QLatin1String(entry.szName), settings.*entry.pnValue);
    store.setValue(QLatin1String(cUserCommsSettingsFile::kIpAddress), QString::fromStdString(settings.sIpAddress));
    store.endGroup();
    store.sync();
}
