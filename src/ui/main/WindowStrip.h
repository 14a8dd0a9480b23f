#pragma once
// The clear strip along the top of the main window, where a window manager's title bar would
// be: it holds the window's own buttons, on the side and in the order the desktop uses, and is
// otherwise empty. Dragging it moves the window (it leaves presses to the window's background
// drag); a double click maximises the window or restores it.
#include <QPointer>
#include <QWidget>

#include <vector>

#include "platform/WindowButtonLayout.h"

class QHBoxLayout;
class WindowControlButton;

class WindowStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 28;

    explicit WindowStrip(const WindowButtonLayout& layout, QWidget* parent = nullptr);

    void setButtonLayout(const WindowButtonLayout& layout);
    const WindowButtonLayout& buttonLayout() const { return layout_; }
    // The button for `role`, or none where the layout leaves it out.
    WindowControlButton* button(WindowButton role) const;

    // Maximises the window, or restores it when it is maximised or fills the screen.
    void toggleMaximized();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void press(WindowButton role);
    void followWindow();

    WindowButtonLayout layout_;
    QHBoxLayout* row_;
    std::vector<WindowControlButton*> buttons_;
    QPointer<QWidget> watched_;
};
