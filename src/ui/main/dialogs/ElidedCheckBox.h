#pragma once
// A check box for a title from a record: one line, cut at the end to the width it is given,
// shown whole as its tooltip while cut. It asks for no more width than its box and an ellipsis,
// so a list of them never scrolls sideways.
#include <QCheckBox>

class ElidedCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit ElidedCheckBox(const QString& title, QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void elide();

    QString title_;
};
