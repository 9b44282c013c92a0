#pragma once
#include <QIcon>
#include <QPixmap>
#include <memory>

class QApplication;
class QSettings;

// Who the console is to Qt and to the desktop: the organisation and program
// names that place the per-user settings (~/.config/Halvorn Ltd/Kestrum.conf),
// the icon, and the application-wide set-up that the console program, its
// developer tools and its widget tests share.
class cAppIdentity
{
public:
    // Right after the QApplication is made: names and icon, numbers written and
    // read with a '.', and only an explicit shutdown ends the event loop.
    static void SetUp(QApplication& app);
    // The per-user settings store; the same whether or not SetUp ran.
    static std::unique_ptr<QSettings> UserSettings();
    // Drawn for each size rather than scaled, so that small ones stay sharp.
    static QIcon Icon();
    static QPixmap IconPixmap(int nSize);
    static constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
};
