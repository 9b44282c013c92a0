#include "cMessageBox.h"

#include <QMessageBox>

namespace
{
std::function<void(const QString&)>& Sink()
{
    static std::function<void(const QString&)> fnSink;
    return fnSink;
}
} // namespace

void cMessageBox::Show(QWidget* pParent, const QString& sText)
{
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
