#pragma once
// What the window tests share: waiting for a condition while events run, acting on a modal
// window once it is open, and saving a picture of a widget under the test's artifact folder.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

namespace uitest {

inline bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    return QTest::qWaitFor(done, ms);
}

// Acts on the modal window as soon as it is open: a test opens a modal panel after this, and
// `act` closes it.
inline void onModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            act(modal);
        }
    });
    poll->start(10);
}

// A dark desktop theme, as the application's palette would carry it.
inline QPalette darkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(36, 36, 38));
    dark.setColor(QPalette::WindowText, QColor(236, 236, 236));
    dark.setColor(QPalette::Base, QColor(28, 28, 30));
    dark.setColor(QPalette::Text, QColor(236, 236, 236));
    dark.setColor(QPalette::Button, QColor(52, 52, 56));
    dark.setColor(QPalette::ButtonText, QColor(236, 236, 236));
    dark.setColor(QPalette::PlaceholderText, QColor(140, 140, 146));
    return dark;
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
