#pragma once
// The share-access sheet: who may see one record's hosted copy, and its public link. It only
// shows ShareAccessModel and calls in; closing it leaves a running request to the model.
#include <QDialog>

#include <vector>

#include "service/TavroAPI.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;
class ShareAccessModel;

class ShareAccessView : public QDialog {
    Q_OBJECT
public:
    // Takes over `model`, which outlives the sheet while a request runs.
    explicit ShareAccessView(ShareAccessModel* model, QWidget* parent = nullptr);
    ~ShareAccessView() override;

    ShareAccessModel& model() const { return *model_; }
    QLineEdit* emailField() const { return email_; }
    QComboBox* rolePicker() const { return role_; }
    QPushButton* addButton() const { return add_; }
    // One row per member.
    int memberCount() const;
    QCheckBox* publicToggle() const { return public_; }
    QLabel* urlLabel() const { return url_; }
    QLabel* statusLabel() const { return status_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* primaryButton() const { return primary_; }

    static constexpr QSize kSize{620, 450};

protected:
    void showEvent(QShowEvent* e) override;

private:
    void follow();
    void rebuildMembers();

    ShareAccessModel* model_;
    QLineEdit* email_;
    QComboBox* role_;
    QPushButton* add_;
    QVBoxLayout* members_;
    QCheckBox* public_;
    QWidget* urlRow_;
    QLabel* url_;
    QLabel* status_;
    QPushButton* delete_;
    QPushButton* primary_;
    std::vector<TavroAPI::Collaborator> shownMembers_;
};
