#pragma once
// The search field at the top of the sidebar: a magnifier, the text, and a clear button while
// there is text, on a rounded grey field.
#include <QRectF>
#include <QWidget>

class QLineEdit;
class SidebarButton;

class SidebarSearchField : public QWidget {
    Q_OBJECT
public:
    explicit SidebarSearchField(QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    SidebarButton* clearButton() const { return clear_; }
    QString query() const;
    // From the model: changes the text without reporting an edit.
    void setQuery(const QString& query);

    static constexpr int kHeight = 52;
    static constexpr int kFieldHeight = 34;
    // The rounded field, in the widget's coordinates: all of it is the control.
    QRectF fieldRect() const;

signals:
    void queryEdited(const QString& query);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool pressed_ = false;  // a press inside the field: the pointer's moves stay here
    QLineEdit* edit_;
    SidebarButton* clear_;
};
