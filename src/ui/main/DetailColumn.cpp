#include "ui/main/DetailColumn.h"

#include <algorithm>

DetailColumn::DetailColumn(QWidget* content, int maxWidth, QWidget* parent)
    : QWidget(parent), content_(content), maxWidth_(maxWidth) {
    content_->setParent(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

int DetailColumn::bandWidth(int width) const {
    return std::max(0, std::min(maxWidth_, width - 2 * kPadding));
}

QSize DetailColumn::sizeHint() const {
    const QSize inner = content_->sizeHint();
    return QSize(std::min(inner.width(), maxWidth_) + 2 * kPadding, inner.height());
}

QSize DetailColumn::minimumSizeHint() const {
    const QSize inner = content_->minimumSizeHint();
    return QSize(std::min(inner.width(), maxWidth_) + 2 * kPadding, inner.height());
}

bool DetailColumn::hasHeightForWidth() const {
    return content_->hasHeightForWidth();
}

int DetailColumn::heightForWidth(int width) const {
    return content_->hasHeightForWidth() ? content_->heightForWidth(bandWidth(width))
                                         : content_->sizeHint().height();
}

void DetailColumn::resizeEvent(QResizeEvent*) {
    const int band = bandWidth(width());
    content_->setGeometry((width() - band) / 2, 0, band, height());
}
