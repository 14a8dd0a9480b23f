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
        if (phase_ == Phase::idle)
            begin();
        else if (phase_ == Phase::recording)
            setPhase(Phase::processing);
    }
    void start() override {
        ++starts;
        if (phase_ == Phase::idle) begin();
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
    void begin() {
        elapsed_ = 0;
        emit elapsedChanged();
        setPhase(Phase::recording);
    }

    Phase phase_ = Phase::idle;
    int elapsed_ = 0;
};
