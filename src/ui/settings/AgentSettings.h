#pragma once
// The AI agent tab: autonomy, the agent tool, and each tool's sign-in.
#include <map>

#include "agents/AgentKind.h"
#include "ui/settings/SettingsForm.h"

struct UiContext;
class AgentSettingsModel;
class ElidedLabel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class AgentSettings : public SettingsForm {
    Q_OBJECT
public:
    explicit AgentSettings(UiContext& ctx, QWidget* parent = nullptr);
    // For tests: the model is replaced by one over stand-in tools.
    AgentSettings(UiContext& ctx, AgentSettingsModel* model, QWidget* parent = nullptr);

    AgentSettingsModel& model() const { return *model_; }

    struct RowWidgets {
        ElidedLabel* subtitle;
        QProgressBar* spinner;
        QPushButton* cancel;
        QLabel* connected;
        QPushButton* reconnect;
        QPushButton* connect;
        QLabel* notInstalled;
        QWidget* codeRow;
        QLineEdit* code;
        QPushButton* submit;
    };
    const RowWidgets& rowWidgets(AgentKind kind) const { return rows_.at(kind); }
    QLabel* warning() const { return warning_; }
    QLabel* message() const { return message_; }
    QComboBox* picker() const { return picker_; }

private:
    void build();
    void follow();

    AgentSettingsModel* model_;
    QCheckBox* autoAgent_ = nullptr;
    QComboBox* picker_ = nullptr;
    QLabel* warning_ = nullptr;
    QLabel* message_ = nullptr;
    std::map<AgentKind, RowWidgets> rows_;
};
