#pragma once
// The "タスクを編集" sheet over the detail pane. Its fields write the view-model's editor state;
// nothing is stored until "保存". Any other way of closing it stores nothing.
#include <QDialog>

class DetailViewModel;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;

class TaskEditor : public QDialog {
    Q_OBJECT
public:
    explicit TaskEditor(DetailViewModel& model, QWidget* parent = nullptr);

    // Shows the model's current editor fields.
    void load();

    QLineEdit* titleField() const { return title_; }
    QLineEdit* assigneeField() const { return assignee_; }
    QAbstractButton* priorityButton(const QString& priority) const;
    QCheckBox* dueSwitch() const { return hasDue_; }
    QDateTimeEdit* dueField() const { return due_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

    static constexpr int kWidth = 480;

protected:
    void done(int result) override;

private:
    void follow();

    DetailViewModel& model_;
    QLineEdit* title_;
    QLineEdit* assignee_;
    QButtonGroup* priority_;
    QCheckBox* hasDue_;
    QWidget* dueRow_;  // the "期限" label and the picker
    QDateTimeEdit* due_;
    QPushButton* cancel_;
    QPushButton* save_;
};
