#pragma once
// A one-line label for text from a tool or the user: cut at the end to the width it is given,
// shown whole as its tooltip while cut. It asks for no more width than an ellipsis, so a long
// line never widens its tab past the window.
#include <QLabel>

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The whole text; text() is what is shown.
    const QString& fullText() const { return full_; }
    void setFullText(const QString& text);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void elide();

    QString full_;
};
