// Writes the console's icon as the desktop's icon theme wants it:
// DIR/hicolor/<size>x<size>/apps/kestrum.png for each size the console draws.
// Run at build time, so the installed icon is the one the windows show.
#include "cAppIdentity.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
    {
        std::fprintf(stderr, "Usage: kestrum-icon DIR\n");
        return 64;
    }
    for (int nSize : cAppIdentity::kIconSizes)
    {
        const QString sFolder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(nSize);
        const QString sFile = sFolder + QStringLiteral("/kestrum.png");
        if (!QDir().mkpath(sFolder) || !cAppIdentity::IconPixmap(nSize).save(sFile, "PNG"))
        {
            std::fprintf(stderr, "kestrum-icon: cannot write %s\n", qPrintable(sFile));
            return 1;
        }
    }
    return 0;
}
