#include "ui/main/dialogs/ElidedLineEdit.h"

#include <QFocusEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {
// The gap QLineEdit leaves on each side of its text.
constexpr int kSideMargin = 2;
}  // namespace

ElidedLineEdit::ElidedLineEdit(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
    // A field not being edited starts at the beginning of its text, where the cut one starts:
    // a click then lands on the character it points at.
    setCursorPosition(0);
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!hasFocus()) setCursorPosition(0);
    });
}

QRect ElidedLineEdit::textRect() const {
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    return style()
        ->subElementRect(QStyle::SE_LineEditContents, &opt, this)
        .marginsRemoved(textMargins())
        .adjusted(kSideMargin, 0, -kSideMargin, 0);
}

QString ElidedLineEdit::shownText() const {
    if (hasFocus() || echoMode() != Normal) return text();
    return fontMetrics().elidedText(text(), Qt::ElideRight, textRect().width());
}

void ElidedLineEdit::paintEvent(QPaintEvent* e) {
    const QString shown = shownText();
    if (shown == text()) {
        QLineEdit::paintEvent(e);
        return;
    }
    QPainter p(this);
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    p.drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

void ElidedLineEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    // A menu of the field's own keeps the place; anything else ends the editing.
    if (e->reason() != Qt::PopupFocusReason) setCursorPosition(0);
}
