#pragma once
// One action item the user does: a compact row in the summary tab, a card in the action tab.
// A click anywhere on it ticks the item; the pencil opens the task editor; the card's context
// menu sets the priority or ticks it.
#include <QWidget>

#include "ui/main/detail/DetailViewModel.h"

class QLabel;
class QMenu;
class QToolButton;

class ActionItemView : public QWidget {
    Q_OBJECT
public:
    enum class Style { row, card };

    ActionItemView(Style style, const DetailViewModel::ItemLook& look, QWidget* parent = nullptr);

    bool done() const { return done_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* metaLabel() const { return meta_; }
    QToolButton* editButton() const { return edit_; }
    // The card's context menu, filled for the item's state.
    QMenu* contextMenu();

signals:
    void toggleRequested();
    void editRequested();
    void priorityRequested(const QString& priority);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    Style style_;
    bool done_;
    bool pressed_ = false;
    QLabel* title_;
    QLabel* meta_ = nullptr;
    QToolButton* edit_;
    QMenu* menu_ = nullptr;
};
