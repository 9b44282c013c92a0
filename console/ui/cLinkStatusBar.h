#pragma once
#include "cLinkHealth.h"
#include "cLinkQualityState.h"
#include "cRefreshTimer.h"

#include <QStatusBar>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class cRC_IO_Pages;

// The main window's status bar: the link state always in view (the heartbeat
// text or OK/FAILED, frames per second, checksum failures and frames skipped
// since start, the age of the last frame), red and in words when the link is
// lost, and beside it, while it lasts, why it cannot work (nobody at the
// destination, frames of another kind arriving). It looks four times a second
// on the user-interface thread and repaints a section only when its text
// changed. Further sections (other parts of the console's own figures) plug
// in with AddSection.
class cLinkStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    static constexpr int kPeriodMs = 200;
    static constexpr const char* kLink = "link";
    static constexpr const char* kRate = "rate";
    static constexpr const char* kChecksum = "checksum";
    static constexpr const char* kSkipped = "skipped";
    static constexpr const char* kAge = "age";
    static constexpr const char* kPeers = "peers";  // shown once a sender was refused
    // Beside the link state, shown while they last: what the operator must change.
    static constexpr const char* kUnreachable = "unreachable";  // "no remote system at host:port"
    static constexpr const char* kMismatch = "mismatch";        // frames of another kind arrive
    // The link figures (cLinkQualityState), and "LINK DEGRADED" on amber while it is.
    static constexpr const char* kDegraded = "degraded";  // shown only while degraded
    static constexpr const char* kRoundTrip = "roundtrip";
    static constexpr const char* kUnanswered = "unanswered";
    static constexpr const char* kEoGaps = "eogaps";
    static constexpr const char* kHeartbeats = "heartbeats";  // shown only with the heartbeat
    static constexpr const char* kDuplicates = "duplicates";

    explicit cLinkStatusBar(QWidget* pParent = nullptr);

    // The page protocol to watch (it must outlive the bar or be taken away
    // first); null: comms are not open.
    void SetSource(const cRC_IO_Pages* pRC_IO_Pages);
    // A section after the existing ones. fnText, when given, is asked on
    // every update (user-interface thread) and its text shown when it changed;
    // without it the caller sets the label's text itself.
    QLabel* AddSection(const QString& sName, std::function<QString()> fnText = {});
    QLabel* Section(const QString& sName) const;

    void Update();
    bool IsLost() const { return m_bLost; }
    bool IsDegraded() const { return m_Quality.Shown().bDegraded; }
    void SetQualityThresholds(const cLinkQualityState::Thresholds& thresholds) { m_Quality.SetThresholds(thresholds); }
    // The figures' state and texts as last shown, for other views of the link.
    const cLinkQualityState& Quality() const { return m_Quality; }
    void Stop() { m_Timer.Stop(); }

private:
    struct SectionEntry
    {
        QString sName;
        QLabel* pLabel;
        std::function<QString()> fnText;
    };

    static constexpr int kExplanationMinimumWidth = 80;

    void AddExplanation(const QString& sName);
    static void Show(QLabel* pLabel, const std::string& sText);
    // Sections shown only while they have something to say.
    static void ShowWhileSet(QLabel* pLabel, const std::string& sText);
    static void ShowExplanation(QLabel* pLabel, const std::string& sText);
    void ShowDisplay(const cLinkHealth::Display& display);
    void ShowQuality();

    const cRC_IO_Pages* m_pRC_IO_Pages = nullptr;
    cLinkHealth m_Health;
    std::optional<cLinkHealth::Display> m_Shown;  // what the sections show now
    std::vector<SectionEntry> m_Sections;
    cLinkQualityState m_Quality;
    bool m_bLost = false;
    const char* m_szStyle = nullptr;  // the style sheet applied: none, lost or degraded
    cRefreshTimer m_Timer;
};
