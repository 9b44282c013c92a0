#include "cRC_EoDataOutputDlg.h"

#include "DbgLog.h"
#include "cAccessibleNames.h"
#include "cEoTrackPictureView.h"
#include "cMessageBox.h"
#include "cRC_IO_EoData.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace
{
QLineEdit* MakeField(QWidget* pParent)
{
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setReadOnly(true);
    pEdit->setAlignment(Qt::AlignRight);
    pEdit->setFixedWidth(84);
    pEdit->setFocusPolicy(Qt::NoFocus);
    return pEdit;
}
} // namespace

cRC_EoDataOutputDlg::cRC_EoDataOutputDlg(cRC_IO_EoData* pRC_IO_EoData, bool bAllowLogging,
                                         const std::string& sLoggingDirectory, int32_t nMaxTracksToLog,
                                         QWidget* pParent, int32_t nPictureWidth, int32_t nPictureHeight)
    : QDialog(pParent), m_pRC_IO_EoData(pRC_IO_EoData), m_bAllowLogging(bAllowLogging),
      m_sLoggingDirectory(sLoggingDirectory), m_Log(nMaxTracksToLog), m_Timer([this] { OnRefresh(); })
{
    setWindowTitle(QString::fromLatin1(kTargetTitle));

    auto* pMenuBar = new QMenuBar(this);
    QMenu* pFile = pMenuBar->addMenu(QStringLiteral("File"));
    pFile->addAction(QStringLiteral("Exit"), this, [this] { close(); })->setShortcut(QKeySequence::Close);
    QMenu* pEdit = pMenuBar->addMenu(QStringLiteral("Edit"));
    m_pLoggingAction = pEdit->addAction(QStringLiteral("Start Logging"), this, [this] { OnStartStopLogging(); });
    m_pLoggingAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    auto* pHeader = new QGridLayout;
    const char* const kHeaderLabels[kHeaderFields] = {"Track Data Format", "Time", "Number of Targets"};
    for (int n = 0; n < kHeaderFields; ++n)
    {
        m_HeaderEdits[n] = MakeField(this);
        pHeader->addWidget(new QLabel(QString::fromLatin1(kHeaderLabels[n]), this), n, 0);
        pHeader->addWidget(m_HeaderEdits[n], n, 1);
    }
    pHeader->setColumnStretch(2, 1);

    auto* pGrid = new QGridLayout;
    for (int c = 0; c < cEoReportText::kColumns; ++c)
    {
        auto* pTitle = new QLabel(QStringLiteral("Track %1").arg(c + 1), this);
        pTitle->setAlignment(Qt::AlignCenter);
        pGrid->addWidget(pTitle, 0, c + 1);
    }
    for (int r = 0; r < cEoReportText::kRows; ++r)
    {
        m_RowLabels[r] = new QLabel(QString::fromLatin1(cEoReportText::kRowLabels[r]), this);
        pGrid->addWidget(m_RowLabels[r], r + 1, 0);
        for (int c = 0; c < cEoReportText::kColumns; ++c)
        {
            m_Cells[r][c] = MakeField(this);
            pGrid->addWidget(m_Cells[r][c], r + 1, c + 1);
        }
    }

    auto* pNumbers = new QVBoxLayout;
    pNumbers->addLayout(pHeader);
    pNumbers->addSpacing(8);
    pNumbers->addLayout(pGrid);
    pNumbers->addStretch();

    auto* pBody = new QHBoxLayout;
    pBody->addLayout(pNumbers);
    m_pPicture = new cEoTrackPictureView(nPictureWidth, nPictureHeight, this);
    pBody->addWidget(m_pPicture, 1);
    m_pPicture->setAccessibleName(QStringLiteral("Track picture"));

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setMenuBar(pMenuBar);
    pLayout->addLayout(pBody);
    cAccessibleNames::Apply(this);
    resize(sizeHint());
}

cRC_EoDataOutputDlg::~cRC_EoDataOutputDlg()
{
    // A log still running is closed by its file's destruction, without the
    // "Log finished at" line: the console is going, not the operator stopping it.
    m_Timer.Stop();
}

void cRC_EoDataOutputDlg::SetTagData(bool bTagData)
{
    m_bTagData = bTagData;
    // Set now as well as on refresh: a log started before the first refresh is named after it.
    setWindowTitle(QString::fromLatin1(bTagData ? kTagTitle : kTargetTitle));
    // The picture is the target window's: a tag window loses it for good.
    if (bTagData && m_pPicture)
    {
        delete m_pPicture;
        m_pPicture = nullptr;
        layout()->activate();
        resize(sizeHint());
    }
}

QLineEdit* cRC_EoDataOutputDlg::Cell(cEoReportText::Row eRow, int nColumn) const
{
    return m_Cells.at(eRow).at(static_cast<size_t>(nColumn));
}

void cRC_EoDataOutputDlg::OnInitDialog()
{
    // Trails from before the window was hidden would jump across the picture.
    if (m_pPicture)
        m_pPicture->Clear();
    m_Timer.Start();
    m_pLoggingAction->setEnabled(m_bAllowLogging);
}

void cRC_EoDataOutputDlg::OnRefresh()
{
    if (!m_pRC_IO_EoData)
        return;
    const EoReport report = m_bTagData ? m_pRC_IO_EoData->CopyTagData() : m_pRC_IO_EoData->CopyTrackData();
    ShowReport(report, m_bTagData);
    if (m_bTagData)
        setWindowTitle(QString::fromLatin1(kTagTitle));
}

void cRC_EoDataOutputDlg::SetText(QLineEdit* pEdit, const std::string& sText)
{
    const QString sNew = QString::fromStdString(sText);
    if (pEdit->text() != sNew)
        pEdit->setText(sNew);
}

void cRC_EoDataOutputDlg::ShowReport(const EoReport& report, bool bTagData)
{
    const cEoReportText text = cEoReportText::Make(report, bTagData);
    SetText(m_HeaderEdits[kFormat], text.sFormat);
    SetText(m_HeaderEdits[kTime], text.sTime);
    SetText(m_HeaderEdits[kNumTargets], text.sNumTargets);
    for (int r = 0; r < cEoReportText::kRows; ++r)
    {
        for (int c = 0; c < cEoReportText::kColumns; ++c)
            SetText(m_Cells[r][c], text.cells[r][c]);
    }
    for (QLineEdit* pRange : m_Cells[cEoReportText::kRange])
        pRange->setEnabled(text.bRangeEnabled);

    if (m_pPicture && !bTagData && m_pPicture->isVisible())
        m_pPicture->ShowReport(report);
    // One row per refresh, whether or not a new report came.
    m_Log.WriteRow(report);
}

void cRC_EoDataOutputDlg::OnStartStopLogging()
{
    if (m_Log.IsRunning())
    {
        m_Log.Stop();
        m_pLoggingAction->setText(QStringLiteral("Start Logging"));
        return;
    }
    if (!m_bAllowLogging)
        return;
    if (!m_Log.Start(m_sLoggingDirectory, windowTitle().toStdString()))
    {
        // The item keeps saying "Start Logging": nothing is being logged.
        DbgLog(DBG_ERR, "cRC_EoDataOutputDlg::OnStartStopLogging", __LINE__,
               DbgLogFormat("Cannot open a track log in %s", m_sLoggingDirectory.c_str()));
        const QString sFolder = QString::fromStdString(m_sLoggingDirectory);
        cMessageBox::Show(this, QStringLiteral("Error opening log file in %1").arg(sFolder));
        return;
    }
    m_pLoggingAction->setText(QStringLiteral("Stop Logging"));
}

void cRC_EoDataOutputDlg::closeEvent(QCloseEvent* pEvent)
{
    m_Timer.Stop();
    pEvent->accept();
}

void cRC_EoDataOutputDlg::reject()
{
    close();
}
