// What the widget tests include, compiled once for all of them: the test
// framework, Qt's widgets and test module, and what the other tests share.
#include "TestPch.h"

#include <QSignalSpy>
#include <QTest>
#include <QtWidgets>
