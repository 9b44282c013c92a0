#pragma once
#include <QString>
#include <functional>

class QWidget;

// The message boxes the operator must see. Tests replace the box with a
// recorder, since a modal box would wait for a click nobody makes. While the
// console stops, a box is not shown (nobody would answer it and it would hold
// the shutdown up): its text goes to the debug log instead.
class cMessageBox
{
public:
    static void Show(QWidget* pParent, const QString& sText);
    // An empty function brings the real box back.
    static void SetSink(std::function<void(const QString&)> fnSink);
    static void SetStopping(bool bStopping);
};
