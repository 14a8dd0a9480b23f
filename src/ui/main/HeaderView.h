#pragma once
// The header row above the detail column: ask-across, agent autonomy, record, import and
// settings, at the trailing edge.
#include <QWidget>

class HeaderModel;
class QVariantAnimation;
class RecordButton;
class ToolbarButton;

class HeaderView : public QWidget {
    Q_OBJECT
public:
    explicit HeaderView(HeaderModel& model, QWidget* parent = nullptr);

    ToolbarButton* askButton() const { return ask_; }
    ToolbarButton* agentButton() const { return agent_; }
    RecordButton* recordButton() const { return record_; }
    ToolbarButton* importButton() const { return import_; }
    ToolbarButton* settingsButton() const { return settings_; }

    static constexpr int kHeight = 52;

signals:
    void askAcrossRequested();
    void settingsRequested();

private:
    void followAgent(bool animated);
    void followRecorder();

    HeaderModel& model_;
    ToolbarButton* ask_;
    ToolbarButton* agent_;
    RecordButton* record_;
    ToolbarButton* import_;
    ToolbarButton* settings_;
    // Springs the autonomy switch between its two looks.
    QVariantAnimation* agentSpring_;
};
