#pragma once
// The bar under the list while records are marked: how many, select-all or clear, a colour grid
// for all of them and the menu "選択した議事録を操作".
#include <QWidget>

class QLabel;
class QVariantAnimation;
class SidebarButton;
class SidebarModel;
class ColorSwatchGrid;

class BulkBar : public QWidget {
    Q_OBJECT
public:
    explicit BulkBar(SidebarModel& sidebar, QWidget* parent = nullptr);

    QLabel* countLabel() const { return count_; }
    SidebarButton* toggleButton() const { return toggle_; }
    SidebarButton* clearButton() const { return clear_; }
    SidebarButton* menuButton() const { return menu_; }
    ColorSwatchGrid* grid() const { return grid_; }

    void follow();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    SidebarModel& sidebar_;
    QLabel* count_;
    SidebarButton* toggle_;
    SidebarButton* clear_;
    ColorSwatchGrid* grid_;
    SidebarButton* menu_;
    // The count runs up or down to a new value rather than jumping.
    QVariantAnimation* counter_;
    int shownCount_ = -1;
};
