#pragma once
// The integrations tab: connecting the services the minutes are sent to.
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/settings/SettingsForm.h"

struct UiContext;
class IntegrationSettingsModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class IntegrationSettings : public SettingsForm {
    Q_OBJECT
public:
    explicit IntegrationSettings(UiContext& ctx, QWidget* parent = nullptr);
    // For tests: the model is replaced by one with a stand-in page list.
    IntegrationSettings(UiContext& ctx, IntegrationSettingsModel* model, QWidget* parent = nullptr);

    IntegrationSettingsModel& model() const { return *model_; }

    struct ProviderWidgets {
        QLabel* status;
        QPushButton* button;
        QLabel* problem;  // red, under the status, while the browser could not be opened
    };
    const ProviderWidgets& providerWidgets(const std::string& id) const {
        return providers_.at(id);
    }
    QComboBox* pagePicker() const { return pagePicker_; }
    // Opens every hand-entry group, for a picture of the whole tab.
    void expandAll();

private:
    struct Bound {
        QLineEdit* field;
        std::function<QString()> value;
    };
    void build();
    QWidget* providerRow(const std::string& id);
    QWidget* pageArea();
    QWidget* group(const QString& title, const std::vector<QWidget*>& rows, QLabel* readiness);
    QLineEdit* field(const QString& placeholder, bool secret, std::function<QString()> value,
                     std::function<void(const QString&)> edit);
    void follow();

    IntegrationSettingsModel* model_;
    QCheckBox* autoShare_ = nullptr;
    QCheckBox* zapierTranscript_ = nullptr;
    QComboBox* hubspotType_ = nullptr;
    std::map<std::string, ProviderWidgets> providers_;
    QWidget* pageArea_ = nullptr;
    QWidget* chosenRow_ = nullptr;
    QWidget* chooseArea_ = nullptr;
    QProgressBar* pageSpinner_ = nullptr;
    QWidget* pageErrorRow_ = nullptr;
    QLabel* pageError_ = nullptr;
    QWidget* pickerRow_ = nullptr;
    QComboBox* pagePicker_ = nullptr;
    QLabel* noPages_ = nullptr;
    QWidget* slackNotice_ = nullptr;
    std::vector<std::pair<QLabel*, int>> readiness_;
    std::vector<Bound> bound_;
    std::vector<std::function<void(bool)>> disclosures_;
};
