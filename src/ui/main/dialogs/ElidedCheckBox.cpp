#include "ui/main/dialogs/ElidedCheckBox.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionButton>

#include "desktop/UserText.h"

ElidedCheckBox::ElidedCheckBox(const QString& title, QWidget* parent)
    : QCheckBox(parent), title_(QString(title).replace(QLatin1Char('\n'), QLatin1Char(' '))) {
    setText(UserText::forMenu(title_));
    // Shrinks below its text: the text is cut instead.
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
}

QSize ElidedCheckBox::minimumSizeHint() const {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth, &opt, this) +
                    style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, this);
    return {box + fontMetrics().horizontalAdvance(QStringLiteral("…")) + 4,
            QCheckBox::minimumSizeHint().height()};
}

void ElidedCheckBox::resizeEvent(QResizeEvent* e) {
    QCheckBox::resizeEvent(e);
    elide();
}

void ElidedCheckBox::changeEvent(QEvent* e) {
    QCheckBox::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) elide();
}

void ElidedCheckBox::elide() {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const int room = style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, this).width();
    const QString shown = fontMetrics().elidedText(title_, Qt::ElideRight, room);
    const QString text = UserText::forMenu(shown);
    if (text != this->text()) setText(text);
    setToolTip(shown == title_ ? QString() : UserText::asTooltip(title_));
}
