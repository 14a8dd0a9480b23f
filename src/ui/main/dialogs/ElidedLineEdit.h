#pragma once
// A name field that, while not being edited, shows a name too long for it cut at the end with
// an ellipsis, as the lists do; while it has the focus it edits as any field does.
#include <QLineEdit>

class ElidedLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ElidedLineEdit(const QString& text = QString(), QWidget* parent = nullptr);

    // What the field shows while not being edited: the text, or its start and "…".
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    QRect textRect() const;
};
