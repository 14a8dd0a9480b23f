#pragma once
// What the desktop presence (hotkey, pill, tray menu) needs of the recorder: its phase, the
// recording clock and the two ways to drive it. The recorder engine implements it, and tests
// drive a fake.
#include <QObject>

class RecorderControl : public QObject {
    Q_OBJECT
public:
    enum class Phase { idle, recording, processing };

    using QObject::QObject;
    ~RecorderControl() override;

    virtual Phase phase() const = 0;
    // Whole seconds counted by the clock of the current or last recording.
    virtual int elapsed() const = 0;

    // Starts when idle, stops when recording, does nothing while processing.
    virtual void toggle() = 0;
    // Begins a recording when idle; otherwise nothing.
    virtual void start() = 0;

signals:
    void phaseChanged();
    void elapsedChanged();
};
