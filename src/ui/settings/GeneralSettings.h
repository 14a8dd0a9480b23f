#pragma once
// The general tab: the default template, custom templates, the hotkey, launch at login and the data
// folder.
#include "ui/settings/SettingsScroll.h"

struct UiContext;
class GeneralSettingsModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;

class GeneralSettings : public SettingsScroll {
    Q_OBJECT
public:
    explicit GeneralSettings(UiContext& ctx, QWidget* parent = nullptr);

    GeneralSettingsModel& model() const { return *model_; }
    QComboBox* templatePicker() const { return templatePicker_; }
    QPushButton* importButton() const { return importButton_; }
    QLabel* messageLabel() const { return message_; }
    // The "削除" buttons of the custom template rows, in order.
    QList<QPushButton*> deleteButtons() const;
    QComboBox* modifierPicker() const { return modifierPicker_; }
    QSlider* intervalSlider() const { return intervalSlider_; }
    QLabel* intervalCaption() const { return intervalCaption_; }
    QCheckBox* launchAtLogin() const { return launchAtLogin_; }
    QPushButton* dataFolderButton() const { return dataFolderButton_; }
    QLabel* folderProblem() const { return folderProblem_; }

private:
    void showTemplates();
    void showImport();
    void showHotkey();

    UiContext& ctx_;
    GeneralSettingsModel* model_;
    QComboBox* templatePicker_;
    QPushButton* importButton_;
    QLabel* message_;
    QWidget* customRows_;
    QVBoxLayout* customRowsLayout_;
    QComboBox* modifierPicker_;
    QSlider* intervalSlider_;
    QLabel* intervalCaption_;
    QCheckBox* launchAtLogin_;
    QPushButton* dataFolderButton_;
    QLabel* folderProblem_;
};
