#pragma once
// The scrolling container of the general, recording and privacy tabs: rows stacked from the top,
// leading, 14 px apart, 24 px from every edge, with a scroll bar while they are taller than it.
#include <QScrollArea>

class QVBoxLayout;

class SettingsScroll : public QScrollArea {
    Q_OBJECT
public:
    explicit SettingsScroll(QWidget* parent = nullptr);

    // Adds a row under the last one.
    void addRow(QWidget* row);
    QVBoxLayout* rows() const { return rows_; }

    static constexpr int kSpacing = 14;
    static constexpr int kPadding = 24;

private:
    QVBoxLayout* rows_;
};
