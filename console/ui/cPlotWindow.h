#pragma once
#include "cPlotSampler.h"
#include "cPlotStore.h"
#include "cRefreshTimer.h"

#include <QWidget>
#include <boost/signals2/connection.hpp>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;
class cPlotCanvas;
class cRC_IO_Pages;
class RC_ItemValue;
struct PageItem;

// A window plotting numeric items over the last minute (or another range),
// scrolling as values arrive, with pause and saving as PNG and CSV. Values
// are taken on the receive thread by a sampler (cPlotSampler) and drained,
// stored and drawn by a timer on the UI thread at most 15 times a second,
// whatever the rate at which they come.
class cPlotWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRedrawPeriodMs = 67;  // 15 redraws a second at most
    struct Range
    {
        const char* szText;
        double dSeconds;
    };
    static const std::vector<Range>& Ranges();
    static constexpr double kDefaultRange = 60.0;

    // pRC_IO_Pages may be null (nothing arrives); sSaveFolder is offered for saving.
    cPlotWindow(cRC_IO_Pages* pRC_IO_Pages, const QString& sTitle, const std::string& sSaveFolder,
                QWidget* pParent = nullptr);
    ~cPlotWindow() override;

    // False when the item is not a number or is plotted here already.
    bool AddItem(const PageItem& item);
    bool HasItem(const PageItem& item) const;
    void RemoveSeries(uint32_t nSeriesId);
    void SetRange(double dSeconds);
    double RangeSeconds() const { return m_dRange; }
    void SetPaused(bool bPaused);
    bool IsPaused() const { return m_bPaused; }

    bool SavePng(const QString& sPath);
    bool SaveCsv(const QString& sPath);
    // The Save commands: a file dialog, then a box when the file cannot be written.
    void OnSavePng();
    void OnSaveCsv();
    // The local date and time of a sample, to the millisecond.
    std::string WallClockText(double dTime) const;

    // Takes what the sampler queued and redraws unless paused; the timer calls it.
    void Tick();

    const cPlotStore& Store() const { return m_Store; }
    cPlotSampler& Sampler() { return *m_pSampler; }
    cPlotCanvas* Canvas() const { return m_pCanvas; }
    uint64_t Redraws() const { return m_nRedraws; }

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void OnCanvasMenu(const QPoint& position);
    QString DefaultFileName(const char* szExtension) const;
    void StopUpdates();

    cRC_IO_Pages* m_pRC_IO_Pages;
    const std::string m_sSaveFolder;
    cPlotStore m_Store;
    // Shared with the receive thread's slot, which may still be running as the window goes.
    std::shared_ptr<cPlotSampler> m_pSampler;
    boost::signals2::connection m_Connection;
    std::map<const RC_ItemValue*, uint32_t> m_Series;
    std::vector<cPlotSampler::Pending> m_Drained;

    double m_dRange = kDefaultRange;
    double m_dEnd = 0.0;  // the end of the span shown; stays put while paused
    bool m_bPaused = false;
    bool m_bClosed = false;
    uint64_t m_nRedraws = 0;
    // The sampler's clock against the wall clock, for the CSV's times.
    const std::chrono::system_clock::time_point m_WallAnchor;
    const double m_dClockAnchor;

    cPlotCanvas* m_pCanvas = nullptr;
    QComboBox* m_pRange = nullptr;
    QPushButton* m_pPause = nullptr;
    cRefreshTimer m_Timer;
};
