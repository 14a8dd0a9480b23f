// Precompiled for each sizeable target (_tavro_share_parsing). Only what most of the
// code includes belongs here: a larger header costs every source file to load. The modules a
// target links announce themselves through their QT_*_LIB and GTEST_* definitions.
// No X11 or GLib header: their macros and names must come after Qt's.
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef QT_CORE_LIB
#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTimer>
#endif

#ifdef QT_GUI_LIB
#include <QColor>
#include <QGuiApplication>
#include <QPainter>
#endif

#ifdef QT_WIDGETS_LIB
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#endif

#ifdef QT_TESTLIB_LIB
#include <QSignalSpy>
#include <QTest>
#endif

#ifdef GTEST_HAS_PTHREAD
#include <gtest/gtest.h>
#endif
