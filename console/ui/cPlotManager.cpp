#include "cPlotManager.h"

#include "PageItem.h"
#include "cMessageBox.h"
#include "cPlotSampler.h"
#include "cPlotWindow.h"

#include <QMenu>
#include <algorithm>
#include <new>

cPlotManager::cPlotManager(QWidget* pOwner, std::function<cRC_IO_Pages*()> fnProtocol, std::string sSaveFolder)
    : QObject(pOwner), m_pOwner(pOwner), m_fnProtocol(std::move(fnProtocol)), m_sSaveFolder(std::move(sSaveFolder))
{
}

cPlotManager::~cPlotManager()
{
    CloseAll();
}

std::vector<cPlotWindow*> cPlotManager::Windows() const
{
    std::vector<cPlotWindow*> windows;
    for (const QPointer<cPlotWindow>& pWindow : m_Windows)
        if (pWindow)
            windows.push_back(pWindow.data());
    return windows;
}

void cPlotManager::AddMenuActions(QMenu& menu, const PageItem& item)
{
    if (!item.pValue || !cPlotSampler::IsPlottable(item.eType))
        return;
    menu.addSeparator();
    // The item lives in the page list, which outlives the menu and the plots.
    const PageItem* pItem = &item;
    menu.addAction(QStringLiteral("Plot"), this, [this, pItem] { NewPlot(*pItem); });
    for (cPlotWindow* pWindow : Windows())
    {
        if (pWindow->HasItem(item))
            continue;
        QPointer<cPlotWindow> pTarget(pWindow);
        menu.addAction(QStringLiteral("Add to %1").arg(pWindow->windowTitle()), this, [pTarget, pItem] {
            if (!pTarget)
                return;
            pTarget->AddItem(*pItem);
            pTarget->raise();
            pTarget->activateWindow();
        });
    }
}

cPlotWindow* cPlotManager::NewPlot(const PageItem& item)
{
    auto* pWindow = new (std::nothrow) cPlotWindow(m_fnProtocol ? m_fnProtocol() : nullptr,
                                                   QStringLiteral("Plot %1").arg(m_nNextNumber), m_sSaveFolder, m_pOwner);
    if (!pWindow)
    {
        cMessageBox::Show(m_pOwner, QStringLiteral("Error creating Plot window"));
        return nullptr;
    }
    ++m_nNextNumber;
    pWindow->AddItem(item);
    m_Windows.erase(std::remove(m_Windows.begin(), m_Windows.end(), nullptr), m_Windows.end());
    m_Windows.emplace_back(pWindow);
    pWindow->show();
    return pWindow;
}

void cPlotManager::CloseAll()
{
    for (QPointer<cPlotWindow>& pWindow : m_Windows)
    {
        delete pWindow.data();
        pWindow = nullptr;
    }
    m_Windows.clear();
}
