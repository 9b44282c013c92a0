#include "cRC_SystemDlg.h"

#include "DbgLog.h"
#include "cAccessibleNames.h"
#include "cEditCommit.h"
#include "cEditValueParser.h"
#include "cMessageBox.h"
#include "RC_ItemValue.h"
#include "cRC_IO_Pages.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace
{
// The rows a page shows: its first kRows items.
std::vector<const PageItem*> FirstRows(const std::vector<PageItem>& items)
{
    std::vector<const PageItem*> rows;
    for (size_t n = 0; n < items.size() && n < static_cast<size_t>(cRC_SystemDlg::kRows); ++n)
        rows.push_back(&items[n]);
    return rows;
}
} // namespace

cRC_SystemDlg::cRC_SystemDlg(cRC_IO_Pages* pRC_IO_Pages, const std::vector<PageItem>& items, bool bLogging,
                             int32_t nLoggingSubsystem, int32_t nPageIndex, const std::string& sLoggingDirectory,
                             QWidget* pParent)
    : QDialog(pParent), m_pRC_IO_Pages(pRC_IO_Pages), m_Rows(FirstRows(items)), m_bLogging(bLogging),
      m_nPageIndex(nPageIndex), m_sLoggingDirectory(sLoggingDirectory), m_Log(m_Rows, nLoggingSubsystem),
      // A quiet page costs a look at its holders' new-value flags and the
      // log's waiting rows, nothing more.
      m_Timer([this] {
          m_Log.WritePending();
          if (m_bLayoutPending || AnyNewValue())
              Refresh();
      })
{
    auto* pMenuBar = new QMenuBar(this);
    QMenu* pFile = pMenuBar->addMenu(QStringLiteral("File"));
    pFile->addAction(QStringLiteral("Exit"), this, [this] { close(); })->setShortcut(QKeySequence::Close);
    QMenu* pEdit = pMenuBar->addMenu(QStringLiteral("Edit"));
    m_pLoggingAction = pEdit->addAction(QStringLiteral("Start Logging"), this, [this] { OnStartStopLogging(); });
    m_pLoggingAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    auto* pGrid = new QGridLayout;
    pGrid->setColumnMinimumWidth(0, 200);
    for (int n = 0; n < kRows; ++n)
    {
        m_Labels[n] = new QLabel(this);
        m_Edits[n] = new QLineEdit(this);
        m_Edits[n]->setAlignment(Qt::AlignRight);
        m_Edits[n]->setFixedWidth(140);
        m_Commits[n] = new cEditCommit(m_Edits[n], [this, n](const QString& sText) { return SendRow(static_cast<size_t>(n), sText); });
        for (QWidget* pWidget : {static_cast<QWidget*>(m_Labels[n]), static_cast<QWidget*>(m_Edits[n])})
        {
            pWidget->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(pWidget, &QWidget::customContextMenuRequested, this, [this, n, pWidget](const QPoint& at) {
                QMenu* pMenu = ItemMenu(n);
                pMenu->setAttribute(Qt::WA_DeleteOnClose);
                pMenu->popup(pWidget->mapToGlobal(at));
            });
        }
        pGrid->addWidget(m_Labels[n], n, 0);
        pGrid->addWidget(m_Edits[n], n, 1);
    }
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setMenuBar(pMenuBar);
    pLayout->addLayout(pGrid);
    pLayout->addStretch();

    m_Log.Listen(m_pRC_IO_Pages);
    m_Timer.Start();
}

cRC_SystemDlg::~cRC_SystemDlg()
{
    StopUpdates();
}

void cRC_SystemDlg::StopUpdates()
{
    m_Timer.Stop();
    m_Log.StopListening();
    for (cEditCommit* pCommit : m_Commits)
    {
        if (pCommit)
            pCommit->Stop();
    }
    m_Log.Stop();
}

bool cRC_SystemDlg::AnyNewValue() const
{
    for (const PageItem* pItem : m_Rows)
    {
        if (pItem->nAccess != PageItem::kWriteOnly && pItem->pValue->IsValid())
            return true;
    }
    return false;
}

void cRC_SystemDlg::Layout()
{
    m_bLayoutPending = false;
    for (int n = 0; n < kRows; ++n)
    {
        m_Labels[n]->hide();
        m_Edits[n]->hide();
    }
    for (size_t n = 0; n < m_Rows.size(); ++n)
    {
        m_Labels[n]->setText(QString::fromStdString(m_Rows[n]->sLabel));
        m_Labels[n]->show();
        m_Edits[n]->setReadOnly(m_Rows[n]->nAccess == PageItem::kReadOnly);
        m_Edits[n]->show();
    }
    m_pLoggingAction->setEnabled(m_bLogging);
    cAccessibleNames::Apply(this);
    // The window fits the rows shown and keeps its place.
    const QPoint position = pos();
    adjustSize();
    resize(sizeHint());
    move(position);
    show();
}

void cRC_SystemDlg::Refresh()
{
    if (m_bClosed)
        return;
    if (m_bLayoutPending)
        Layout();
    for (size_t n = 0; n < m_Rows.size(); ++n)
    {
        const PageItem& item = *m_Rows[n];
        if (item.nAccess == PageItem::kWriteOnly || !item.pValue->IsValid())
            continue;
        // Cleared before reading: a value stored meanwhile sets the flag again.
        item.pValue->ClearValid();
        if (item.eType != RC_DataType::U128)
            m_Commits[n]->Show(QString::fromStdString(item.pValue->ShownText()));
    }
}

bool cRC_SystemDlg::SendRow(size_t nRow, const QString& sText)
{
    if (m_bClosed || nRow >= m_Rows.size() || !m_pRC_IO_Pages)
        return false;
    const PageItem& item = *m_Rows[nRow];
    if (item.nAccess == PageItem::kReadOnly)
        return false;
    const auto pValue = cEditValueParser::ParseItem(item.eType, sText.toStdString());
    return pValue && m_pRC_IO_Pages->SendValue(item.nSubSystem, item.nIndex, item.nItem, *pValue);
}

QMenu* cRC_SystemDlg::ItemMenu(int nRow)
{
    QMenu* pMenu = m_Edits.at(static_cast<size_t>(nRow))->createStandardContextMenu();
    if (m_fnItemMenu && nRow >= 0 && static_cast<size_t>(nRow) < m_Rows.size())
        m_fnItemMenu(*pMenu, *m_Rows[static_cast<size_t>(nRow)]);
    return pMenu;
}

void cRC_SystemDlg::OnStartStopLogging()
{
    if (m_Log.IsRunning())
    {
        m_Log.Stop();
        m_pLoggingAction->setText(QStringLiteral("Start Logging"));
        return;
    }
    if (!m_Log.Start(m_sLoggingDirectory, windowTitle().toStdString()))
    {
        // The item keeps saying "Start Logging": nothing is being logged.
        DbgLog(DBG_ERR, "cRC_SystemDlg::OnStartStopLogging", __LINE__,
               DbgLogFormat("Cannot open a page log in %s", m_sLoggingDirectory.c_str()));
        cMessageBox::Show(this, QStringLiteral("Error opening log file in %1").arg(QString::fromStdString(m_sLoggingDirectory)));
        return;
    }
    m_pLoggingAction->setText(QStringLiteral("Stop Logging"));
}

void cRC_SystemDlg::closeEvent(QCloseEvent* pEvent)
{
    if (!m_bClosed)
    {
        m_bClosed = true;
        StopUpdates();
        emit sigClosed(m_nPageIndex);
        deleteLater();
    }
    pEvent->accept();
}

void cRC_SystemDlg::reject()
{
    // Escape closes the page like the close box, not just hiding it.
    close();
}
