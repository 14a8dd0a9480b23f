#pragma once
// The filter menu's content, in a popup frame since it holds a text field and date pickers:
// participant, the date-range switch with its two dates, and "検索条件をクリア".
#include <QFrame>

class MainViewModel;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QWidget;
class SidebarModel;

class FilterPopup : public QFrame {
    Q_OBJECT
public:
    FilterPopup(SidebarModel& sidebar, QWidget* parent = nullptr);

    QLineEdit* participant() const { return participant_; }
    QCheckBox* dateRange() const { return range_; }
    QDateEdit* startDate() const { return start_; }
    QDateEdit* endDate() const { return end_; }

private:
    void follow();

    SidebarModel& sidebar_;
    MainViewModel& model_;
    QLineEdit* participant_;
    QCheckBox* range_;
    QWidget* dates_;
    QDateEdit* start_;
    QDateEdit* end_;
};
