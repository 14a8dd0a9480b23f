#pragma once
// The ask-across sheet: the records to search, the question, and the answer with links to the
// transcript lines it rests on. It only shows AskAllModel and calls in.
#include <QDialog>

#include <vector>

#include "ui/main/dialogs/AskReference.h"

class AskAllModel;
class ElidedCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

class AskAllView : public QDialog {
    Q_OBJECT
public:
    // Takes over `model`.
    explicit AskAllView(AskAllModel* model, QWidget* parent = nullptr);

    AskAllModel& model() const { return *model_; }
    QToolButton* scopeDisclosure() const { return scope_; }
    QScrollArea* scopeList() const { return scopeList_; }
    const std::vector<ElidedCheckBox*>& toggles() const { return toggles_; }
    QLineEdit* questionField() const { return question_; }
    QPushButton* askButton() const { return ask_; }
    QLabel* loginNotice() const { return notice_; }
    QWidget* progress() const { return progress_; }
    QLabel* errorLabel() const { return error_; }
    QLabel* answerLabel() const { return answer_; }
    QScrollArea* answerArea() const { return answerArea_; }
    // The reference links shown, in order.
    const std::vector<QLabel*>& referenceLinks() const { return links_; }

    static constexpr QSize kSize{700, 520};

signals:
    // A reference link was chosen: the main window shows that record.
    void recordChosen(const QString& recordID);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void follow();
    void rebuildReferences();

    AskAllModel* model_;
    QToolButton* scope_;
    QScrollArea* scopeList_;
    std::vector<ElidedCheckBox*> toggles_;
    QLineEdit* question_;
    QPushButton* ask_;
    QLabel* notice_;
    QWidget* progress_;
    QLabel* error_;
    QLabel* answer_;
    QScrollArea* answerArea_;
    QWidget* referenceBox_;
    QVBoxLayout* referenceLayout_;
    std::vector<QLabel*> links_;
    std::vector<AskReference> shownReferences_;
};
