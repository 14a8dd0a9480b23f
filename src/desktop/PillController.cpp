#include "desktop/PillController.h"

#include "desktop/FloatingPanel.h"
#include "desktop/MeetingPromptView.h"
#include "desktop/RecordingPillView.h"
#include "engine/RecorderControl.h"
#include "platform/SystemSound.h"
#include "util/UserDefaults.h"

namespace {
// Panels go away at the next turn of the event loop: a panel may be closed from inside its own
// button's click.
void close(QPointer<FloatingPanel>& panel) {
    if (!panel) return;
    panel->hide();
    panel->deleteLater();
    panel = nullptr;
}
}  // namespace

PillController::PillController(RecorderControl& recorder, UserDefaults& defaults, QObject* parent)
    : QObject(parent),
      recorder_(recorder),
      defaults_(defaults),
      promptSound_([] { SystemSound::play("Glass"); }) {
    promptDismiss_.setSingleShot(true);
    promptDismiss_.setInterval(kPromptLifetime);
    connect(&promptDismiss_, &QTimer::timeout, this, [this] { hidePrompt(); });
    // Queued: the pill follows just after the phase has changed, never inside the change.
    connect(&recorder_, &RecorderControl::phaseChanged, this, &PillController::onPhase,
            Qt::QueuedConnection);
}

PillController::PillController(RecorderControl& recorder)
    : PillController(recorder, UserDefaults::standard()) {}

PillController::~PillController() {
    delete pillPanel_.data();
    delete promptPanel_.data();
}

void PillController::setPromptLifetime(std::chrono::milliseconds lifetime) {
    promptDismiss_.setInterval(lifetime);
}

void PillController::onPhase() {
    switch (recorder_.phase()) {
        case RecorderControl::Phase::idle:
            close(pillPanel_);
            break;
        case RecorderControl::Phase::recording:
            hidePrompt();
            if (defaults_.boolValue("showFloatingPill") == false) break;
            if (pillPanel_) break;
            pillPanel_ = new FloatingPanel(new RecordingPillView(recorder_));
            pillPanel_->placeAtRightEdge(kPillTopOffset);
            pillPanel_->orderFront();
            break;
        case RecorderControl::Phase::processing:
            break;  // the pill stays and shows the processing state itself
    }
}

void PillController::showMeetingPrompt(const QString& title) {
    if (recorder_.phase() != RecorderControl::Phase::idle) return;
    hidePrompt();
    QPointer<PillController> self(this);
    auto* view = new MeetingPromptView(
        title,
        [self] {
            if (!self) return;
            self->hidePrompt();
            self->recorder_.start();
        },
        [self] {
            if (self) self->hidePrompt();
        });
    promptPanel_ = new FloatingPanel(view);
    promptPanel_->placeAtRightEdge(kPromptTopOffset);
    promptPanel_->orderFront();
    if (promptSound_) promptSound_();
    promptDismiss_.start();
}

void PillController::hidePrompt() {
    promptDismiss_.stop();
    close(promptPanel_);
}
