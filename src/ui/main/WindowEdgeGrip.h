#pragma once
// One outer edge of a window without a frame, kBorder pixels deep, over the content: dragging it
// has the window manager resize the window from that edge, or from the corner near either end.
// It shows the usual resize cursors, and steps aside while the window is maximised or fills the
// screen. Controls that reach the edge (the window's buttons, a scroll bar) stay themselves: the
// grip leaves their part of the edge to them.
#include <QWidget>

class WindowEdgeGrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorder = 6;
    // How far from a corner, along the edge, the corner resize takes over.
    static constexpr int kCorner = 16;

    WindowEdgeGrip(Qt::Edge edge, QWidget* window);

    Qt::Edge edge() const { return edge_; }
    // The edges a resize at `pos` pulls, in a window of `size`: one edge, two at a corner, none
    // inside the border.
    static Qt::Edges edgesAt(QSize size, QPoint pos);
    static Qt::CursorShape cursorFor(Qt::Edges edges);
    // Whether `w` takes the pointer as a control does, where the edge leaves it its part.
    static bool isControl(const QWidget* w);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;

private:
    void follow();
    // Leaves out of its mask what controls reach into it, now.
    void yieldToControls();
    Qt::Edges edgesAt(QPoint local) const;

    Qt::Edge edge_;
    QWidget* window_;
};
