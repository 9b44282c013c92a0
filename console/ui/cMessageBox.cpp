#include "cMessageBox.h"

#include "DbgLog.h"

#include <QMessageBox>

namespace
{
std::function<void(const QString&)>& Sink()
{
    static std::function<void(const QString&)> fnSink;
    return fnSink;
}

bool s_bStopping = false;  // UI thread only
} // namespace

void cMessageBox::Show(QWidget* pParent, const QString& sText)
{
    if (s_bStopping)
    {
        DbgLog(DBG_WRN, "cMessageBox::Show", __LINE__,
               DbgLogFormat("Not shown while stopping: %s", sText.toStdString().c_str()));
        return;
    }
    if (Sink())
    {
        Sink()(sText);
        return;
    }
    QMessageBox::warning(pParent, QStringLiteral("Kestrum"), sText);
}

void cMessageBox::SetSink(std::function<void(const QString&)> fnSink)
{
    Sink() = std::move(fnSink);
}

void cMessageBox::SetStopping(bool bStopping)
{
    s_bStopping = bStopping;
}
