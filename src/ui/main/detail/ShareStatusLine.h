#pragma once
// The detail view's transient status line: the share and export requests' texts, hidden while
// there is none.
#include <QLabel>

class DetailActionsModel;

class ShareStatusLine : public QLabel {
    Q_OBJECT
public:
    explicit ShareStatusLine(DetailActionsModel& model, QWidget* parent = nullptr);

private:
    void follow();

    DetailActionsModel& model_;
};
