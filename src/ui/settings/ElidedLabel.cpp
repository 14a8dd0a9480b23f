#include "ui/settings/ElidedLabel.h"

#include <QEvent>

#include "desktop/UserText.h"

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    UserText::makePlain(this);
    setWordWrap(false);
    // Shrinks below its text: the text is cut instead.
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
}

void ElidedLabel::setFullText(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (line == full_) return;
    full_ = line;
    updateGeometry();
    elide();
}

QSize ElidedLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")),
            QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(full_) + m.left() + m.right(),
            QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    elide();
}

void ElidedLabel::changeEvent(QEvent* e) {
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) elide();
}

void ElidedLabel::elide() {
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width());
    if (shown != text()) setText(shown);
    setToolTip(shown == full_ ? QString() : UserText::asTooltip(full_));
}
