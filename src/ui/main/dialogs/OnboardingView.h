#pragma once
// The first-run sheet: welcome, getting the sound ready, connecting the services. It only
// shows OnboardingModel and calls in; completion is reported by the model.
#include <QDialog>

#include <vector>

class OnboardingModel;
class QLabel;
class QPushButton;
class QStackedWidget;

class OnboardingView : public QDialog {
    Q_OBJECT
public:
    // Takes over `model`.
    explicit OnboardingView(OnboardingModel* model, QWidget* parent = nullptr);

    OnboardingModel& model() const { return *model_; }
    QLabel* titleLabel() const { return title_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* primaryButton() const { return primary_; }
    QPushButton* microphoneButton() const { return microphone_; }
    // Red, under the shown step's buttons, while what was asked for there did not open;
    // nullptr on the welcome.
    QLabel* problemLabel() const;
    // One per service, in order: its connect button and its status mark.
    struct ConnectionRow {
        QLabel* mark;
        QPushButton* button;
    };
    const std::vector<ConnectionRow>& connectionRows() const { return rows_; }

    static constexpr QSize kSize{600, 500};

private:
    void follow();

    OnboardingModel* model_;
    QLabel* symbol_;
    QLabel* title_;
    QStackedWidget* pages_;
    QLabel* welcome_;
    QLabel* soundText_;
    QPushButton* microphone_;
    std::vector<ConnectionRow> rows_;
    QLabel* problems_[3] = {};  // by step
    QPushButton* back_;
    QPushButton* primary_;
};
