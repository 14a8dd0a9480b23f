#pragma once
// The banner's badge: an accent disc that swells and fades around a sparkle, there and back,
// for as long as the agent works. Still under reduced motion.
#include "ui/main/LoopingView.h"

class AgentPulseBadge : public LoopingView {
    Q_OBJECT
public:
    explicit AgentPulseBadge(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};
