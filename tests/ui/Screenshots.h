#pragma once
// What the window tests share: waiting for a condition while events run, and saving a picture of
// a widget under the test's artifact folder.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QString>
#include <QTest>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

namespace uitest {

inline bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    return QTest::qWaitFor(done, ms);
}

// Saves the widget as a test artifact and returns the picture.
inline QImage shoot(QWidget& w, const QString& name) {
    w.ensurePolished();
    QCoreApplication::processEvents();
    const QImage img = w.grab().toImage();
    const QString dir = QStringLiteral(TAVRO_ARTIFACT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(img.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    return img;
}

}  // namespace uitest
