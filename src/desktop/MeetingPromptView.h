#pragma once
// The meeting prompt: a wide card offering to record a calendar meeting that has just begun,
// with a start button and a close button. It only reports the two presses.
#include <QWidget>

#include <functional>

class MeetingPromptView : public QWidget {
    Q_OBJECT
public:
    MeetingPromptView(QString meetingTitle, std::function<void()> onStart,
                      std::function<void()> onSkip, QWidget* parent = nullptr);

    QSize sizeHint() const override;

    // The headline as shown: cut to one line with an ellipsis when it does not fit.
    QString shownTitle() const;
    QString fullTitle() const;
    QRect startButtonRect() const;
    QRect closeButtonRect() const;

    static constexpr int kWidth = 420;
    static inline const QString kQuestion = QStringLiteral("TAVROで議事録を作成しますか?");
    static inline const QString kStartLabel = QStringLiteral("議事録を開始");
    static inline const QString kSkipHelp = QStringLiteral("今回はスキップ");

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;

private:
    enum class Button { none, start, close };
    Button buttonAt(QPoint p) const;
    QSize startButtonSize() const;
    QRect textRect() const;

    QString meetingTitle_;
    std::function<void()> onStart_;
    std::function<void()> onSkip_;
    Button pressed_ = Button::none;
};
