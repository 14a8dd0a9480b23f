#pragma once
// The sidebar's list of records. Its selection is the browser's shown record, kept by id
// through every refilter; a hidden record leaves no row selected but stays shown-to-be. A
// click on a row's check circle marks it without selecting it, and a right click opens the
// row's menu without moving the selection.
#include <QListView>

#include <set>
#include <string>

class MainViewModel;
class QVariantAnimation;
class RecordListModel;
class RecordRowDelegate;
class RowMotion;

class RecordListView : public QListView {
    Q_OBJECT
public:
    RecordListView(MainViewModel& model, RecordListModel& rows, QWidget* parent = nullptr);

    RecordListModel& rows() const { return rows_; }
    // The id of the record at a viewport point, or empty.
    std::string idAt(const QPoint& viewportPos) const;
    // Where a row's check circle is, in viewport coordinates.
    QRect checkRectOf(int row) const;

signals:
    void checkToggled(const std::string& id);
    void menuRequested(const std::string& id, const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void followModel();
    void chosen();
    void followAgents();
    void followMarks();

    MainViewModel& model_;
    RecordListModel& rows_;
    RecordRowDelegate* delegate_;
    QVariantAnimation* pulse_;
    RowMotion* motion_;
    // The marks as last seen, to spring the ones that change.
    std::set<std::string> marks_;
    bool following_ = false;
    // A press on a check circle: its release and a double click must not select.
    bool swallow_ = false;
    int scrollKept_ = 0;
    // The next reset brings another list: it starts at the top.
    bool restart_ = false;
};
