#pragma once
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

class QMenu;
class QWidget;
class cPlotWindow;
class cRC_IO_Pages;
struct PageItem;

// The console's plot windows: the "Plot" entries an item's context menu
// offers (numbers only), the windows they open ("Plot 1", "Plot 2", ...),
// and closing them all before the page protocol goes at shutdown.
class cPlotManager : public QObject
{
    Q_OBJECT

public:
    // fnProtocol gives the page protocol a new plot listens to; windows are
    // made as top-level children of pOwner.
    cPlotManager(QWidget* pOwner, std::function<cRC_IO_Pages*()> fnProtocol, std::string sSaveFolder);
    ~cPlotManager() override;

    // Appends "Plot" (a new window) and "Add to Plot N" for each open window
    // not showing the item yet; nothing for an item that is not a number.
    void AddMenuActions(QMenu& menu, const PageItem& item);
    cPlotWindow* NewPlot(const PageItem& item);
    std::vector<cPlotWindow*> Windows() const;
    void CloseAll();

private:
    QWidget* m_pOwner;
    std::function<cRC_IO_Pages*()> m_fnProtocol;
    const std::string m_sSaveFolder;
    std::vector<QPointer<cPlotWindow>> m_Windows;
    int m_nNextNumber = 1;
};
