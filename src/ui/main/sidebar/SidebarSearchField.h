#pragma once
// The search field at the top of the sidebar: a magnifier, the text, and a clear button while
// there is text, on a rounded grey field.
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

signals:
    void queryEdited(const QString& query);

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QLineEdit* edit_;
    SidebarButton* clear_;
};
