#include "cPlotWindow.h"

#include "PageItem.h"
#include "cAccessibleNames.h"
#include "cCsvLogFile.h"
#include "cFileHelpers.h"
#include "cMessageBox.h"
#include "cPlotCanvas.h"
#include "cRC_IO_Pages.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <ctime>
#include <fstream>

const std::vector<cPlotWindow::Range>& cPlotWindow::Ranges()
{
    static const std::vector<Range> kRanges = {
        {"10 s", 10.0}, {"30 s", 30.0}, {"1 min", 60.0}, {"5 min", 300.0}, {"10 min", 600.0}};
    return kRanges;
}

cPlotWindow::cPlotWindow(cRC_IO_Pages* pRC_IO_Pages, const QString& sTitle, const std::string& sSaveFolder,
                         QWidget* pParent)
    : QWidget(pParent, Qt::Window), m_pRC_IO_Pages(pRC_IO_Pages), m_sSaveFolder(sSaveFolder),
      m_pSampler(std::make_shared<cPlotSampler>()), m_WallAnchor(std::chrono::system_clock::now()),
      m_dClockAnchor(cPlotSampler::Now()), m_Timer([this] { Tick(); }, kRedrawPeriodMs, Qt::PreciseTimer)
{
    setWindowTitle(sTitle);

    m_pRange = new QComboBox(this);
    for (const Range& range : Ranges())
        m_pRange->addItem(QString::fromLatin1(range.szText), range.dSeconds);
    m_pRange->setCurrentIndex(2);
    connect(m_pRange, &QComboBox::currentIndexChanged, this,
            [this](int nIndex) { SetRange(m_pRange->itemData(nIndex).toDouble()); });
    m_pPause = new QPushButton(QStringLiteral("Pause"), this);
    m_pPause->setCheckable(true);
    connect(m_pPause, &QPushButton::toggled, this, [this](bool bOn) { SetPaused(bOn); });
    auto* pSavePng = new QPushButton(QStringLiteral("Save PNG..."), this);
    connect(pSavePng, &QPushButton::clicked, this, [this] { OnSavePng(); });
    auto* pSaveCsv = new QPushButton(QStringLiteral("Save CSV..."), this);
    connect(pSaveCsv, &QPushButton::clicked, this, [this] { OnSaveCsv(); });

    auto* pBar = new QHBoxLayout;
    pBar->addWidget(new QLabel(QStringLiteral("Range"), this));
    pBar->addWidget(m_pRange);
    pBar->addWidget(m_pPause);
    pBar->addStretch();
    pBar->addWidget(pSavePng);
    pBar->addWidget(pSaveCsv);

    m_pCanvas = new cPlotCanvas(m_Store, this);
    m_pCanvas->setAccessibleName(QStringLiteral("Plot"));
    m_pCanvas->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pCanvas, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { OnCanvasMenu(at); });
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pBar);
    pLayout->addWidget(m_pCanvas, 1);
    resize(720, 400);
    cAccessibleNames::Apply(this);

    if (m_pRC_IO_Pages)
    {
        m_Connection = m_pRC_IO_Pages->m_sigSubsystemUpdated.connect(
            [pSampler = m_pSampler](unsigned char nSubSystem) { pSampler->OnSubsystemUpdated(nSubSystem); });
    }
    m_dEnd = cPlotSampler::Now();
    m_pCanvas->SetSpan(m_dEnd, m_dRange);
    m_Timer.Start();
}

cPlotWindow::~cPlotWindow()
{
    StopUpdates();
}

void cPlotWindow::StopUpdates()
{
    m_Timer.Stop();
    m_Connection.disconnect();
}

bool cPlotWindow::HasItem(const PageItem& item) const
{
    return m_Series.count(item.pValue.get()) > 0;
}

bool cPlotWindow::AddItem(const PageItem& item)
{
    if (!item.pValue || !cPlotSampler::IsPlottable(item.eType) || HasItem(item))
        return false;
    const uint32_t nId = m_Store.AddSeries(item.sLabel);
    m_Series[item.pValue.get()] = nId;
    m_pSampler->Add(nId, item.nSubSystem, item.pValue.get());
    m_pCanvas->update();
    return true;
}

void cPlotWindow::RemoveSeries(uint32_t nSeriesId)
{
    m_pSampler->Remove(nSeriesId);
    m_Store.RemoveSeries(nSeriesId);
    for (auto it = m_Series.begin(); it != m_Series.end(); ++it)
    {
        if (it->second == nSeriesId)
        {
            m_Series.erase(it);
            break;
        }
    }
    m_pCanvas->update();
}

void cPlotWindow::SetRange(double dSeconds)
{
    if (dSeconds <= 0.0)
        return;
    m_dRange = dSeconds;
    for (int n = 0; n < m_pRange->count(); ++n)
        if (m_pRange->itemData(n).toDouble() == dSeconds && m_pRange->currentIndex() != n)
            m_pRange->setCurrentIndex(n);
    m_pCanvas->SetSpan(m_dEnd, m_dRange);
    m_pCanvas->update();
}

void cPlotWindow::SetPaused(bool bPaused)
{
    m_bPaused = bPaused;
    if (m_pPause->isChecked() != bPaused)
        m_pPause->setChecked(bPaused);
    m_pPause->setText(bPaused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    m_pCanvas->SetPaused(bPaused);
    m_pCanvas->update();
}

void cPlotWindow::Tick()
{
    if (m_bClosed)
        return;
    m_pSampler->Drain(m_Drained);
    for (const cPlotSampler::Pending& pending : m_Drained)
        m_Store.Add(pending.nSeries, pending.dTime, pending.dValue);
    // Paused, the picture stands and the samples after it are kept (up to the
    // store's limit) for when it moves on.
    if (m_bPaused)
    {
        m_Store.Prune(m_dEnd - m_dRange);
        return;
    }
    m_dEnd = cPlotSampler::Now();
    m_Store.Prune(m_dEnd - m_dRange);
    m_pCanvas->SetSpan(m_dEnd, m_dRange);
    m_pCanvas->update();
    ++m_nRedraws;
}

std::string cPlotWindow::WallClockText(double dTime) const
{
    const auto when = m_WallAnchor + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                         std::chrono::duration<double>(dTime - m_dClockAnchor));
    const std::time_t tWhen = std::chrono::system_clock::to_time_t(when);
    const long nMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000);
    std::tm tLocal{};
    localtime_r(&tWhen, &tLocal);
    char szText[40];
    const size_t nLength = std::strftime(szText, sizeof(szText), "%Y-%m-%d %H:%M:%S", &tLocal);
    std::snprintf(szText + nLength, sizeof(szText) - nLength, ".%03ld", nMs < 0 ? nMs + 1000 : nMs);
    return szText;
}

bool cPlotWindow::SavePng(const QString& sPath)
{
    return m_pCanvas->grab().save(sPath, "PNG");
}

bool cPlotWindow::SaveCsv(const QString& sPath)
{
    std::ofstream out(sPath.toStdString(), std::ios::trunc);
    if (!out)
        return false;
    m_Store.WriteCsv(out, [this](double dTime) { return WallClockText(dTime); });
    return static_cast<bool>(out.flush());
}

QString cPlotWindow::DefaultFileName(const char* szExtension) const
{
    const std::time_t tNow = std::time(nullptr);
    std::tm tLocal{};
    localtime_r(&tNow, &tLocal);
    std::string sPath = cCsvLogFile::MakeFileName(m_sSaveFolder, windowTitle().toStdString(), tLocal);
    sPath.replace(sPath.size() - 4, 4, szExtension);
    return QString::fromStdString(sPath);
}

void cPlotWindow::OnSavePng()
{
    cFileHelpers::CreateFolder(m_sSaveFolder);
    const QString sPath = QFileDialog::getSaveFileName(this, QStringLiteral("Save Plot as PNG"), DefaultFileName(".png"),
                                                       QStringLiteral("PNG images (*.png)"));
    if (!sPath.isEmpty() && !SavePng(sPath))
        cMessageBox::Show(this, QStringLiteral("Cannot write %1").arg(sPath));
}

void cPlotWindow::OnSaveCsv()
{
    cFileHelpers::CreateFolder(m_sSaveFolder);
    const QString sPath = QFileDialog::getSaveFileName(this, QStringLiteral("Save Plot Data as CSV"),
                                                       DefaultFileName(".csv"), QStringLiteral("CSV files (*.csv)"));
    if (!sPath.isEmpty() && !SaveCsv(sPath))
        cMessageBox::Show(this, QStringLiteral("Cannot write %1").arg(sPath));
}

void cPlotWindow::OnCanvasMenu(const QPoint& position)
{
    auto* pMenu = new QMenu(this);
    pMenu->setAttribute(Qt::WA_DeleteOnClose);
    for (const cPlotStore::Series& series : m_Store.AllSeries())
    {
        const uint32_t nId = series.nId;
        pMenu->addAction(QStringLiteral("Remove %1").arg(QString::fromStdString(series.sLabel)), this,
                         [this, nId] { RemoveSeries(nId); });
    }
    if (pMenu->isEmpty())
    {
        delete pMenu;
        return;
    }
    pMenu->popup(m_pCanvas->mapToGlobal(position));
}

void cPlotWindow::closeEvent(QCloseEvent* pEvent)
{
    if (!m_bClosed)
    {
        m_bClosed = true;
        StopUpdates();
        deleteLater();
    }
    pEvent->accept();
}
