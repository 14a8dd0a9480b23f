#pragma once
// Decides when the floating panels are up: the recording pill from the start of a recording
// until the recorder is idle again (unless "showFloatingPill" is stored as false), and the
// meeting prompt when a meeting starts while idle, until it is answered, replaced, a recording
// starts, or 180 s pass.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

class FloatingPanel;
class RecorderControl;
class UserDefaults;

class PillController : public QObject {
    Q_OBJECT
public:
    static constexpr int kPillTopOffset = 120;
    static constexpr int kPromptTopOffset = 60;
    static constexpr std::chrono::milliseconds kPromptLifetime{180'000};

    PillController(RecorderControl& recorder, UserDefaults& defaults, QObject* parent = nullptr);
    explicit PillController(RecorderControl& recorder);  // over UserDefaults::standard()
    ~PillController() override;

    // Shows the prompt for a meeting of that title, unless a recording runs or is being made
    // into minutes. A prompt already shown is replaced and its dismissal starts again.
    void showMeetingPrompt(const QString& title);

    // Played when a prompt appears; the system sound "Glass" unless replaced.
    void setPromptSound(std::function<void()> play) { promptSound_ = std::move(play); }
    // How long a prompt stays up by itself.
    void setPromptLifetime(std::chrono::milliseconds lifetime);

    FloatingPanel* pillPanel() const { return pillPanel_; }
    FloatingPanel* promptPanel() const { return promptPanel_; }

private:
    void onPhase();
    void hidePrompt();

    RecorderControl& recorder_;
    UserDefaults& defaults_;
    QPointer<FloatingPanel> pillPanel_;
    QPointer<FloatingPanel> promptPanel_;
    QTimer promptDismiss_;
    std::function<void()> promptSound_;
};
