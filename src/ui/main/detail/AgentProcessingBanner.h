#pragma once
// Shown while the agent works on the record: a pulsing badge, "AIが作業を処理中" with dots that
// count up every half second, which tool is at work, and a spinner. Its state starts afresh
// each time a banner is made.
#include <QString>
#include <QTimer>

#include "ui/main/detail/CardFrame.h"

class QLabel;

class AgentProcessingBanner : public CardFrame {
    Q_OBJECT
public:
    // `engine`: the tool's display name.
    explicit AgentProcessingBanner(const QString& engine, QWidget* parent = nullptr);

    int dots() const { return dots_; }
    QString title() const;
    QString detail() const;
    // Names another tool; the badge and the dots go on as they were.
    void setEngine(const QString& engine);
    // Moves the dots on, as the half-second timer does.
    void tick();

protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void followMotionSetting();

    QLabel* title_;
    QLabel* detail_;
    QTimer timer_;
    int dots_ = 0;
};
