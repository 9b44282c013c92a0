#include "cLinkStatusBar.h"

#include "cRC_IO_Pages.h"
#include "cRC_LinkQuality.h"
#include "cReadoutLabel.h"

#include <QLabel>

namespace
{
const char* const kLostStyle =
    "QStatusBar { background: #b3261e; } QStatusBar QLabel { background: #b3261e; color: white; font-weight: bold; }";
const char* const kDegradedStyle =
    "QStatusBar { background: #f0a020; } QStatusBar QLabel { background: #f0a020; color: black; font-weight: bold; }";
}

cLinkStatusBar::cLinkStatusBar(QWidget* pParent)
    : QStatusBar(pParent), m_Timer([this] { Update(); }, kPeriodMs)
{
    AddSection(QString::fromLatin1(kLink));
    for (const char* szName : {kUnreachable, kMismatch})
        AddExplanation(QString::fromLatin1(szName));
    for (const char* szName : {kRate, kChecksum, kSkipped, kAge, kPeers})
        AddSection(QString::fromLatin1(szName));
    Section(kPeers)->hide();
    for (const char* szName : {kDegraded, kRoundTrip, kUnanswered, kEoGaps, kHeartbeats, kDuplicates})
        AddSection(QString::fromLatin1(szName));
    Section(kDegraded)->hide();
    Section(kHeartbeats)->hide();
    Update();
    m_Timer.Start();
}

void cLinkStatusBar::SetSource(const cRC_IO_Pages* pRC_IO_Pages)
{
    m_pRC_IO_Pages = pRC_IO_Pages;
    m_Health = cLinkHealth();
    m_Shown.reset();
    m_Quality = cLinkQualityState(m_Quality.Current());
    Update();
}

QLabel* cLinkStatusBar::AddSection(const QString& sName, std::function<QString()> fnText)
{
    auto* pLabel = new cReadoutLabel(this);
    pLabel->setObjectName(sName);
    pLabel->setAccessibleName(sName);
    pLabel->setContentsMargins(4, 0, 4, 0);
    addWidget(pLabel);
    m_Sections.push_back({sName, pLabel, std::move(fnText)});
    return pLabel;
}

// A plain label: its texts change seldom and differ in length, so it takes
// each one's size rather than keeping the widest. It may be squeezed (the
// whole text is its tool tip) so that it never widens the window.
void cLinkStatusBar::AddExplanation(const QString& sName)
{
    auto* pLabel = new QLabel(this);
    pLabel->setObjectName(sName);
    pLabel->setAccessibleName(sName);
    pLabel->setContentsMargins(4, 0, 4, 0);
    pLabel->setMinimumWidth(kExplanationMinimumWidth);
    pLabel->hide();
    addWidget(pLabel, 1);
    m_Sections.push_back({sName, pLabel, {}});
}

QLabel* cLinkStatusBar::Section(const QString& sName) const
{
    for (const SectionEntry& section : m_Sections)
        if (section.sName == sName)
            return section.pLabel;
    return nullptr;
}

void cLinkStatusBar::Show(QLabel* pLabel, const std::string& sText)
{
    cReadoutLabel::Show(pLabel, QString::fromStdString(sText));
}

void cLinkStatusBar::ShowWhileSet(QLabel* pLabel, const std::string& sText)
{
    Show(pLabel, sText);
    if (pLabel->isHidden() != sText.empty())
        pLabel->setVisible(!sText.empty());
}

void cLinkStatusBar::ShowExplanation(QLabel* pLabel, const std::string& sText)
{
    const QString sShown = QString::fromStdString(sText);
    if (pLabel->text() == sShown)
        return;
    pLabel->setText(sShown);
    pLabel->setToolTip(sShown);
    pLabel->setVisible(!sText.empty());
}

void cLinkStatusBar::Update()
{
    cLinkHealth::Sample sample;
    if (m_pRC_IO_Pages)
    {
        sample.bConnected = true;
        sample.bLinkActive = m_pRC_IO_Pages->m_bLinkActive;
        sample.bHeartbeat = m_pRC_IO_Pages->m_bUseHeartbeat;
        if (sample.bHeartbeat)
            sample.sHeartbeatText = m_pRC_IO_Pages->GetLinkStatusText();
        sample.nFramesHandled = m_pRC_IO_Pages->m_nRxCount;
        sample.nChecksumFailures = m_pRC_IO_Pages->ChecksumFailures();
        sample.nFramesSkipped = m_pRC_IO_Pages->FramesSkipped();
        sample.nPeerRejects = m_pRC_IO_Pages->PeerRejects();
        sample.sRefusal = m_pRC_IO_Pages->RefusalText();
        sample.sMismatch = m_pRC_IO_Pages->MismatchText();
        sample.bAnyFrame = m_pRC_IO_Pages->LastFrameTime(sample.lastFrame);
    }
    const cLinkHealth::Display display = m_Health.Update(sample, cLinkHealth::Clock::now());
    if (m_Shown != display)
        ShowDisplay(display);
    ShowQuality();
    for (const SectionEntry& section : m_Sections)
    {
        if (section.fnText)
        {
            cReadoutLabel::Show(section.pLabel, section.fnText());
        }
    }
}

void cLinkStatusBar::ShowDisplay(const cLinkHealth::Display& display)
{
    m_Shown = display;
    Show(Section(kLink), display.sLink);
    Show(Section(kRate), display.sRate);
    Show(Section(kChecksum), display.sChecksum);
    Show(Section(kSkipped), display.sSkipped);
    Show(Section(kAge), display.sAge);
    ShowExplanation(Section(kUnreachable), display.sUnreachable);
    ShowExplanation(Section(kMismatch), display.sMismatch);
    ShowWhileSet(Section(kPeers), display.sPeers);
    m_bLost = display.bLost;
}

void cLinkStatusBar::ShowQuality()
{
    cRC_LinkQuality* pRecorder = m_pRC_IO_Pages ? m_pRC_IO_Pages->LinkQuality() : nullptr;
    const auto now = cLinkQualityState::Clock::now();
    const cRC_LinkQuality::Figures figures = pRecorder ? pRecorder->Snapshot(now) : cRC_LinkQuality::Figures();
    const cLinkQualityState::Display& quality = m_Quality.Update(figures, m_bLost, now);
    QLabel* pDegraded = Section(kDegraded);
    Show(pDegraded, quality.sState);
    if (pDegraded->isHidden() != !quality.bDegraded)
        pDegraded->setVisible(quality.bDegraded);
    Show(Section(kRoundTrip), "round trip " + quality.sRoundTrip);
    Show(Section(kUnanswered), "unanswered " + quality.sUnanswered);
    Show(Section(kEoGaps), "EO gap " + quality.sEoGaps);
    ShowWhileSet(Section(kHeartbeats), quality.sHeartbeats.empty() ? std::string() : "HB missed " + quality.sHeartbeats);
    Show(Section(kDuplicates), "duplicates: " + quality.sDuplicates);
    // LINK LOST wins over degraded.
    const char* szStyle = m_bLost ? kLostStyle : (quality.bDegraded ? kDegradedStyle : nullptr);
    if (szStyle != m_szStyle)
    {
        m_szStyle = szStyle;
        setStyleSheet(szStyle ? QString::fromLatin1(szStyle) : QString());
    }
}
