#include "cUserCommsSettings.h"

#include "cAppIdentity.h"

#include <QSettings>

namespace
{
const char* const kGroup = "Comms Settings";

void ReadInt(const QSettings& store, const char* szKey, int32_t& nValue)
{
    bool bOk = false;
    const int nRead = store.value(QLatin1String(szKey), nValue).toInt(&bOk);
    // An entry edited into something that is not a number keeps the file's value.
    if (bOk)
        nValue = nRead;
}
} // namespace

void cUserCommsSettings::ReadRegistrySettings(CommsSettings& settings)
{
    const std::unique_ptr<QSettings> pStore = cAppIdentity::UserSettings();
    QSettings& store = *pStore;
    store.beginGroup(QLatin1String(kGroup));
    ReadInt(store, "Comms Method", settings.nCommsMethod);
    ReadInt(store, "Com Port", settings.nComPort);
    settings.sIpAddress =
        store.value(QStringLiteral("IP Address"), QString::fromStdString(settings.sIpAddress)).toString().toStdString();
    ReadInt(store, "RC Target Port", settings.nTxPort);
    ReadInt(store, "RC Host Port", settings.nRxPort);
    ReadInt(store, "EO Track Target Port", settings.nEoTxPort);
    ReadInt(store, "EO Track Host Port", settings.nEoRxPort);
}

void cUserCommsSettings::Write(const CommsSettings& settings)
{
    const std::unique_ptr<QSettings> pStore = cAppIdentity::UserSettings();
    QSettings& store = *pStore;
    store.beginGroup(QLatin1String(kGroup));
    store.setValue(QStringLiteral("Comms Method"), settings.nCommsMethod);
    store.setValue(QStringLiteral("Com Port"), settings.nComPort);
    store.setValue(QStringLiteral("IP Address"), QString::fromStdString(settings.sIpAddress));
    store.setValue(QStringLiteral("RC Target Port"), settings.nTxPort);
    store.setValue(QStringLiteral("RC Host Port"), settings.nRxPort);
    store.setValue(QStringLiteral("EO Track Target Port"), settings.nEoTxPort);
    store.setValue(QStringLiteral("EO Track Host Port"), settings.nEoRxPort);
    store.endGroup();
    store.sync();
}
