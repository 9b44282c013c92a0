#include "UiTestSupport.h"
#include "cReadoutLabel.h"

#include <QHBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

using namespace ui_test;

// On screen, a read-out keeps the width its layout gave it whatever text it
// shows (so its window is not laid out again), and grows for a text that
// does not fit. Before it is shown, the layout still sizes it from its text.
TEST(ReadoutLabel, KeepsItsLaidOutSizeAndGrowsOnlyForTextThatDoesNotFit)
{
    QWidget window;
    auto* pLayout = new QHBoxLayout(&window);
    auto* pReadout = new cReadoutLabel(&window, 40);
    pLayout->addWidget(pReadout, 1);
    pReadout->Show(QStringLiteral("before"));
    EXPECT_EQ(pReadout->maximumWidth(), QWIDGETSIZE_MAX);
    window.resize(300, 60);
    window.show();
    ASSERT_TRUE(SpinUntil([&] { return pReadout->width() > 200; }));

    pReadout->Show(QStringLiteral("1"));
    const QSize laidOut = pReadout->size();
    for (const char* szText : {"12345", "", "-0.000001"})
    {
        pReadout->Show(QString::fromLatin1(szText));
        EXPECT_EQ(pReadout->text(), QString::fromLatin1(szText));
        EXPECT_EQ(pReadout->size(), laidOut) << szText;
    }

    const QString sLong(120, QLatin1Char('8'));
    pReadout->Show(sLong);
    EXPECT_GE(pReadout->width(), pReadout->sizeHint().width());
    EXPECT_GT(pReadout->width(), laidOut.width());
    const int nGrown = pReadout->width();
    pReadout->Show(QStringLiteral("2"));
    EXPECT_EQ(pReadout->width(), nGrown);
}

// A number as long as one that fitted is taken to fit, until the font changes:
// in a larger font the same count of digits is measured again and the label grows.
TEST(ReadoutLabel, NumberIsMeasuredAgainAfterTheFontChanges)
{
    QWidget window;
    auto* pLayout = new QHBoxLayout(&window);
    auto* pReadout = new cReadoutLabel(&window);
    pLayout->addWidget(pReadout);
    pLayout->addStretch(1);
    pReadout->Show(QStringLiteral("12345"));
    window.show();
    ASSERT_TRUE(SpinUntil([&] { return pReadout->isVisible(); }));
    pReadout->Show(QStringLiteral("12346"));
    const int nSmall = pReadout->width();

    pReadout->setStyleSheet(QStringLiteral("QLabel { font-size: 60px; font-weight: bold; }"));
    pReadout->Show(QStringLiteral("54321"));
    EXPECT_GT(pReadout->width(), nSmall);
    EXPECT_GE(pReadout->width(), pReadout->sizeHint().width());
}
