#pragma once
// A recorder that changes phase at once and counts how it was driven.
#include "engine/RecorderControl.h"

class FakeRecorder : public RecorderControl {
    Q_OBJECT
public:
    Phase phase() const override { return phase_; }
    int elapsed() const override { return elapsed_; }
    void toggle() override {
        ++toggles;
        if (phase_ != Phase::processing)
            setPhase(phase_ == Phase::idle ? Phase::recording : Phase::processing);
    }
    void start() override {
        ++starts;
        if (phase_ == Phase::idle) setPhase(Phase::recording);
    }
    void setPhase(Phase p) {
        phase_ = p;
        emit phaseChanged();
    }
    void setElapsed(int s) {
        elapsed_ = s;
        emit elapsedChanged();
    }

    int toggles = 0;
    int starts = 0;

private:
    Phase phase_ = Phase::idle;
    int elapsed_ = 0;
};
