#pragma once
// The recording tab: system audio, participant detection, the floating pill, the calendar watch and
// the vocabulary.
#include "ui/settings/SettingsScroll.h"

struct UiContext;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class RecordingSettingsModel;

class RecordingSettings : public SettingsScroll {
    Q_OBJECT
public:
    explicit RecordingSettings(UiContext& ctx, QWidget* parent = nullptr);

    RecordingSettingsModel& model() const { return *model_; }
    QCheckBox* systemAudioToggle() const { return systemAudio_; }
    QCheckBox* participantsToggle() const { return participants_; }
    QCheckBox* pillToggle() const { return pill_; }
    QCheckBox* calendarWatchToggle() const { return watch_; }
    // The line that says why no calendar is shown.
    QWidget* deniedRow() const { return denied_; }
    QLabel* calendarProblem() const { return problem_; }
    // The collapsible "対象カレンダーと今後7日間の予定" group: its title button and content.
    QToolButton* calendarDisclosure() const { return disclosure_; }
    QWidget* calendarContent() const { return content_; }
    // The "参加" buttons of the meetings shown.
    QList<QPushButton*> joinButtons() const;
    QPlainTextEdit* vocabularyEditor() const { return vocabulary_; }

private:
    void showSettings();
    void scheduleCalendar();
    void showAccess();
    void showCalendar();

    RecordingSettingsModel* model_;
    QCheckBox* systemAudio_;
    QCheckBox* participants_;
    QCheckBox* pill_;
    QCheckBox* watch_;
    QWidget* denied_;
    QLabel* problem_;
    QPushButton* openCalendarApp_;
    QWidget* granted_;
    QToolButton* disclosure_;
    QWidget* content_;
    QVBoxLayout* contentLayout_;
    QPlainTextEdit* vocabulary_;
    bool calendarPending_ = false;
};
