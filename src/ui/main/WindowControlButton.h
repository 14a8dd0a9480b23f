#pragma once
// One of the window's own buttons in the strip at its top: minimise, maximise (restore while the
// window is maximised or fills the screen) or close. Small and plain: a thin glyph in the text
// colour, with the header's light bezel while the pointer is on it.
#include "platform/WindowButtonLayout.h"
#include "ui/main/BezelButton.h"

class WindowControlButton : public BezelButton {
    Q_OBJECT
public:
    explicit WindowControlButton(WindowButton role, QWidget* parent = nullptr);

    WindowButton role() const { return role_; }
    // The maximise button's second look, restore.
    void setRestores(bool restores);
    bool restores() const { return restores_; }

    QSize sizeHint() const override;

    static constexpr QSize kSize{30, 22};
    static constexpr qreal kGlyph = 10;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void followRole();

    WindowButton role_;
    bool restores_ = false;
};
