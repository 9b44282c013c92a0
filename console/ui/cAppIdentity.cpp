#include "cAppIdentity.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSettings>
#include <clocale>

namespace
{
const char* const kOrganization = "Halvorn Ltd";
const char* const kApplication = "Kestrum";
} // namespace

void cAppIdentity::SetUp(QApplication& app)
{
    // Qt has just set the locale from the environment; fields and logs keep
    // the '.' whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setOrganizationName(QLatin1String(kOrganization));
    QCoreApplication::setApplicationName(QLatin1String(kApplication));
    // Only the main window's shutdown ends the program.
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(Icon());
}

std::unique_ptr<QSettings> cAppIdentity::UserSettings()
{
    return std::make_unique<QSettings>(QLatin1String(kOrganization), QLatin1String(kApplication));
}

QIcon cAppIdentity::Icon()
{
    QIcon icon;
    for (int nSize : kIconSizes)
        icon.addPixmap(IconPixmap(nSize));
    return icon;
}

QPixmap cAppIdentity::IconPixmap(int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // Drawn on a 64-unit square.
        painter.scale(nSize / 64.0, nSize / 64.0);
        painter.setBrush(QColor(24, 56, 96));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(2, 2, 60, 60);
        painter.setPen(QPen(QColor(240, 200, 40), 4));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(16, 16, 32, 32);
        painter.drawLine(32, 6, 32, 24);
        painter.drawLine(32, 40, 32, 58);
        painter.drawLine(6, 32, 24, 32);
        painter.drawLine(40, 32, 58, 32);
    }
    return pixmap;
}
