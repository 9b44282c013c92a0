#include "cTrafficInspectorDlg.h"

#include "cAccessibleNames.h"
#include "cConsoleSession.h"
#include "cMessageBox.h"
#include "cTrafficModel.h"
#include "cTrafficTap.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <iterator>

namespace
{
const char* const kFigureHeaders[] = {"Link", "Dir", "Subsystem", "Frames/s", "Bytes/s", "Frames", "Last seen"};

QString AgeText(cTrafficHistory::Clock::duration age)
{
    const double dSeconds = std::chrono::duration<double>(age).count();
    return dSeconds < 1.0 ? QStringLiteral("now") : QStringLiteral("%1 s ago").arg(static_cast<long long>(dSeconds));
}

void SetCell(QTableWidget* pTable, int nRow, int nColumn, const QString& sText)
{
    QTableWidgetItem* pItem = pTable->item(nRow, nColumn);
    if (!pItem)
    {
        pItem = new QTableWidgetItem(sText);
        pItem->setTextAlignment(nColumn >= 3 && nColumn <= 5 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
        pTable->setItem(nRow, nColumn, pItem);
    }
    else if (pItem->text() != sText)
    {
        pItem->setText(sText);
    }
}
} // namespace

cTrafficInspectorDlg::cTrafficInspectorDlg(cConsoleSession& session, QWidget* pParent)
    : QDialog(pParent), m_Session(session), m_Timer([this] { Refresh(); }, kRefreshMs)
{
    setWindowTitle(QStringLiteral("Traffic Inspector"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    auto* pMenuBar = new QMenuBar(this);
    QMenu* pFile = pMenuBar->addMenu(QStringLiteral("&File"));
    QAction* pSave = pFile->addAction(QStringLiteral("&Save..."), this, [this] { OnSave(); });
    pSave->setShortcut(QKeySequence::Save);
    QAction* pClose = pFile->addAction(QStringLiteral("&Close"), this, [this] { close(); });
    pClose->setShortcut(QKeySequence::Close);
    QMenu* pView = pMenuBar->addMenu(QStringLiteral("&View"));
    m_pPauseAction = pView->addAction(QStringLiteral("&Pause"));
    m_pPauseAction->setCheckable(true);
    m_pPauseAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(m_pPauseAction, &QAction::toggled, this, [this](bool bOn) { SetPaused(bOn); });
    QAction* pClear = pView->addAction(QStringLiteral("C&lear"), this, [this] { Clear(); });
    pClear->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    QAction* pFind = pView->addAction(QStringLiteral("&Find"), this, [this] {
        m_pText->setFocus(Qt::ShortcutFocusReason);
        m_pText->selectAll();
    });
    pFind->setShortcut(QKeySequence::Find);

    m_pFigures = new QTableWidget(0, static_cast<int>(std::size(kFigureHeaders)), this);
    QStringList headers;
    for (const char* szHeader : kFigureHeaders)
        headers << QString::fromLatin1(szHeader);
    m_pFigures->setHorizontalHeaderLabels(headers);
    m_pFigures->verticalHeader()->hide();
    m_pFigures->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pFigures->setSelectionMode(QAbstractItemView::NoSelection);
    m_pFigures->horizontalHeader()->setStretchLastSection(true);
    m_pFigures->setAccessibleName(QStringLiteral("Frames per link, direction and subsystem"));

    m_pDirection = new QComboBox(this);
    m_pDirection->addItems({QStringLiteral("Both"), QStringLiteral("Rx"), QStringLiteral("Tx")});
    m_pKind = new QComboBox(this);
    m_pKind->addItems({QStringLiteral("Any"), QStringLiteral("short"), QStringLiteral("long"), QStringLiteral("heartbeat"),
                       QStringLiteral("EO")});
    m_pSubSystem = new QLineEdit(this);
    m_pSubSystem->setPlaceholderText(QStringLiteral("any"));
    m_pSubSystem->setMaximumWidth(60);
    m_pText = new QLineEdit(this);
    m_pText->setPlaceholderText(QStringLiteral("label, value or type"));
    m_pText->setClearButtonEnabled(true);
    connect(m_pDirection, &QComboBox::currentIndexChanged, this, [this] { ApplyFilter(); });
    connect(m_pKind, &QComboBox::currentIndexChanged, this, [this] { ApplyFilter(); });
    connect(m_pSubSystem, &QLineEdit::editingFinished, this, [this] { ApplyFilter(); });
    connect(m_pText, &QLineEdit::editingFinished, this, [this] { ApplyFilter(); });

    auto* pFilters = new QHBoxLayout;
    using Filter = std::pair<const char*, QWidget*>;
    for (const auto& [szCaption, pWidget] : {Filter{"Direction", m_pDirection}, Filter{"Kind", m_pKind},
                                             Filter{"Subsystem", m_pSubSystem}, Filter{"Text", m_pText}})
    {
        auto* pCaption = new QLabel(QString::fromLatin1(szCaption), this);
        pCaption->setBuddy(pWidget);
        pFilters->addWidget(pCaption);
        pFilters->addWidget(pWidget, pWidget == m_pText ? 1 : 0);
    }

    m_pCounts = new QLabel(this);
    m_pCounts->setAccessibleName(QStringLiteral("Frame counts"));

    m_pModel = new cTrafficModel(m_History, m_Decoder, this);
    m_pTable = new QTableView(this);
    m_pTable->setModel(m_pModel);
    m_pTable->setAccessibleName(QStringLiteral("Frames"));
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setWordWrap(false);
    m_pTable->verticalHeader()->hide();
    // Fixed row heights: a view measuring 10 000 rows on every insertion would not keep up.
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 4);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    const int kWidths[cTrafficModel::kColumns] = {90, 46, 30, 66, 56, 90, 64, 44, 300};
    for (int n = 0; n < cTrafficModel::kColumns; ++n)
        m_pTable->setColumnWidth(n, kWidths[n]);
    connect(m_pTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { ShowDetails(); });

    m_pDetails = new QPlainTextEdit(this);
    m_pDetails->setReadOnly(true);
    m_pDetails->setAccessibleName(QStringLiteral("Frame details"));
    m_pDetails->setMaximumBlockCount(200);

    auto* pSplitter = new QSplitter(Qt::Vertical, this);
    pSplitter->addWidget(m_pTable);
    pSplitter->addWidget(m_pDetails);
    pSplitter->setStretchFactor(0, 4);
    pSplitter->setStretchFactor(1, 1);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setMenuBar(pMenuBar);
    pLayout->addWidget(m_pFigures, 1);
    pLayout->addLayout(pFilters);
    pLayout->addWidget(m_pCounts);
    pLayout->addWidget(pSplitter, 4);
    resize(940, 640);
    cAccessibleNames::Apply(this);
}

cTrafficInspectorDlg::~cTrafficInspectorDlg()
{
    m_Timer.Stop();
    Detach();
}

void cTrafficInspectorDlg::showEvent(QShowEvent* pEvent)
{
    Attach();
    QDialog::showEvent(pEvent);
}

void cTrafficInspectorDlg::hideEvent(QHideEvent* pEvent)
{
    // Hidden, the window costs the links nothing.
    Detach();
    QDialog::hideEvent(pEvent);
}

void cTrafficInspectorDlg::Attach()
{
    if (m_bAttached)
        return;
    m_pTap = &m_Session.AttachTrafficTap();
    m_bAttached = true;
    m_Timer.Start();
}

void cTrafficInspectorDlg::Detach()
{
    if (!m_bAttached)
        return;
    m_Timer.Stop();
    m_Session.DetachTrafficTap();
    m_bAttached = false;
    // What was taken before the tap came off still belongs to this window.
    Refresh();
}

uint64_t cTrafficInspectorDlg::NotShown() const
{
    return m_pTap ? m_pTap->NotShown() : 0;
}

void cTrafficInspectorDlg::Refresh()
{
    // The landing dialog adds its items as a page of their own after start.
    const cPageList& pages = m_Session.Pages();
    size_t nItems = 0;
    for (size_t n = 0; n < pages.PageCount(); ++n)
        nItems += pages.Items(n).size();
    const bool bNewLabels = pages.PageCount() != m_nPagesSeen || nItems != m_nItemsSeen;
    if (bNewLabels)
    {
        m_Decoder.SetPages(pages);
        m_nPagesSeen = pages.PageCount();
        m_nItemsSeen = nItems;
    }
    if (m_pTap)
        m_pTap->Drain([this](const cTrafficTap::Frame& frame) { m_History.Add(frame, !m_bPaused); });

    if (!m_bPaused)
    {
        QScrollBar* pScroll = m_pTable->verticalScrollBar();
        const bool bAtEnd = pScroll->value() >= pScroll->maximum();
        if (bNewLabels)
            m_pModel->Rebuild();
        else
            m_pModel->Refresh();
        // Following the newest frame unless the operator scrolled away from it.
        if (bAtEnd)
            m_pTable->scrollToBottom();
    }
    if (isVisible())
    {
        ShowFigures();
        ShowCounts();
    }
}

void cTrafficInspectorDlg::ShowFigures()
{
    const auto now = cTrafficHistory::Clock::now();
    const std::vector<cTrafficHistory::Figure> figures = m_History.Figures(now);
    if (m_pFigures->rowCount() != static_cast<int>(figures.size()))
        m_pFigures->setRowCount(static_cast<int>(figures.size()));
    for (size_t n = 0; n < figures.size(); ++n)
    {
        const cTrafficHistory::Figure& figure = figures[n];
        const int nRow = static_cast<int>(n);
        const bool bEo = figure.nSync == 0x77;
        SetCell(m_pFigures, nRow, 0, figure.eLink == cTrafficTap::Link::kEo ? QStringLiteral("EO") : QStringLiteral("pages"));
        SetCell(m_pFigures, nRow, 1, figure.eDirection == cTrafficTap::Direction::kRx ? QStringLiteral("Rx") : QStringLiteral("Tx"));
        SetCell(m_pFigures, nRow, 2, bEo ? QStringLiteral("EO %1").arg(figure.nSubSystem) : QString::number(figure.nSubSystem));
        SetCell(m_pFigures, nRow, 3, QString::number(figure.dFramesPerSecond, 'f', 0));
        SetCell(m_pFigures, nRow, 4, QString::number(figure.dBytesPerSecond, 'f', 0));
        SetCell(m_pFigures, nRow, 5, QString::number(figure.nFrames));
        SetCell(m_pFigures, nRow, 6, AgeText(now - figure.lastSeen));
    }
}

void cTrafficInspectorDlg::ShowCounts()
{
    QString sText = QStringLiteral("%1 frames counted, %2 in the table (the last %3 kept)")
                        .arg(m_History.FramesCounted())
                        .arg(m_pModel->rowCount())
                        .arg(m_History.Capacity());
    if (const uint64_t nNotShown = NotShown())
        sText += QStringLiteral("; %1 not shown: the view could not keep up").arg(nNotShown);
    if (const uint64_t nPaused = m_History.NotKept())
        sText += QStringLiteral("; %1 passed while paused").arg(nPaused);
    if (m_bPaused)
        sText += QStringLiteral("; PAUSED");
    if (sText != m_sCountsShown)
    {
        m_sCountsShown = sText;
        m_pCounts->setText(sText);
    }
}

void cTrafficInspectorDlg::ShowDetails()
{
    const int nRow = m_pTable->currentIndex().row();
    m_pDetails->setPlainText(nRow >= 0 ? m_pModel->Details(nRow) : QString());
}

void cTrafficInspectorDlg::SetPaused(bool bPaused)
{
    if (m_bPaused == bPaused)
        return;
    m_bPaused = bPaused;
    if (m_pPauseAction->isChecked() != bPaused)
        m_pPauseAction->setChecked(bPaused);
    // Held, the table keeps what it shows; the frames that pass meanwhile are only counted.
    if (!bPaused)
        m_pModel->Refresh();
    ShowCounts();
}

void cTrafficInspectorDlg::Clear()
{
    m_History.Clear();
    m_pModel->Rebuild();
    m_pDetails->clear();
    ShowCounts();
}

void cTrafficInspectorDlg::ApplyFilter()
{
    cTrafficFilter filter;
    if (m_pDirection->currentIndex() > 0)
        filter.direction = m_pDirection->currentIndex() == 1 ? cTrafficTap::Direction::kRx : cTrafficTap::Direction::kTx;
    static const cTrafficDecoder::Kind kKinds[] = {cTrafficDecoder::Kind::kShort, cTrafficDecoder::Kind::kLong,
                                                   cTrafficDecoder::Kind::kHeartbeat, cTrafficDecoder::Kind::kEo};
    if (m_pKind->currentIndex() > 0)
        filter.kind = kKinds[m_pKind->currentIndex() - 1];
    bool bNumber = false;
    const uint32_t nSubSystem = m_pSubSystem->text().trimmed().toUInt(&bNumber, 0);
    if (bNumber && nSubSystem <= 0xFF)
        filter.subSystem = static_cast<uint8_t>(nSubSystem);
    else if (!m_pSubSystem->text().trimmed().isEmpty())
        m_pSubSystem->clear();  // not a subsystem: every subsystem again
    filter.sText = m_pText->text().trimmed().toStdString();
    m_pModel->SetFilter(filter);
    ShowCounts();
}

bool cTrafficInspectorDlg::SaveTo(const QString& sPath)
{
    std::string sError;
    if (m_History.Save(sPath.toStdString(), sError))
        return true;
    cMessageBox::Show(this, QString::fromStdString(sError));
    return false;
}

void cTrafficInspectorDlg::OnSave()
{
    const QString sPath = QFileDialog::getSaveFileName(this, QStringLiteral("Save Traffic Log"), QStringLiteral("Traffic.txt"),
                                                       QStringLiteral("Traffic logs (*.txt)"));
    if (!sPath.isEmpty())
        SaveTo(sPath);
}
