#include "ui/main/detail/ActionItemView.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/main/Motion.h"
#include "ui/main/detail/DetailStyle.h"

namespace {

constexpr int kRowMetaMinWidth = 200;

// The 22 px tick box; clicks pass through to the item.
class TaskCheckbox : public QWidget {
public:
    explicit TaskCheckbox(bool done, QWidget* parent = nullptr) : QWidget(parent), done_(done) {
        setFixedSize(22, 22);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(0.8, 0.8, -0.8, -0.8);
        const QColor accent = motion::accent(this);
        if (done_) {
            p.setPen(Qt::NoPen);
            p.setBrush(accent);
            p.drawRoundedRect(box, 5, 5);
            p.drawPixmap(5, 5,
                         DetailStyle::glyph(QStringLiteral("checkmark"), 12, Qt::white,
                                            devicePixelRatioF()));
        }
        QColor line = done_ ? accent : DetailStyle::secondary(this);
        if (!done_) line.setAlphaF(0.6f);
        p.setPen(QPen(line, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(box, 5, 5);
    }

private:
    bool done_;
};

}  // namespace

ActionItemView::ActionItemView(Style style, const DetailViewModel::ItemLook& look, QWidget* parent)
    : QWidget(parent), style_(style), done_(look.done) {
    setCursor(Qt::PointingHandCursor);
    const bool card = style == Style::card;
    title_ = card ? DetailStyle::caption(look.title, 16, palette().color(QPalette::WindowText))
                  : DetailStyle::body(look.title, 6);
    title_->setTextInteractionFlags(Qt::NoTextInteraction);  // a click ticks the item
    // A card's title fills the card; a row's takes what it needs, so its meta text follows it.
    DetailStyle::setHorizontalPolicy(title_,
                                     card ? QSizePolicy::Expanding : QSizePolicy::Preferred);
    if (done_) {
        QFont f = title_->font();
        f.setStrikeOut(true);
        title_->setFont(f);
        QPalette pal = title_->palette();
        pal.setColor(QPalette::WindowText, DetailStyle::secondary(this));
        title_->setPalette(pal);
    }

    edit_ = new QToolButton;
    edit_->setAutoRaise(true);
    edit_->setCursor(Qt::ArrowCursor);
    edit_->setIcon(QIcon(DetailStyle::glyph(QStringLiteral("pencil"), 16,
                                            DetailStyle::secondary(this), devicePixelRatioF())));
    edit_->setIconSize(QSize(16, 16));
    edit_->setToolTip(QStringLiteral("編集"));
    connect(edit_, &QToolButton::clicked, this, &ActionItemView::editRequested);

    const QString metaText = look.meta(card ? QStringLiteral("  ・  ") : QStringLiteral(" ・ "));
    auto* top = new QHBoxLayout;
    top->setSpacing(card ? 14 : 12);
    top->addWidget(new TaskCheckbox(done_), 0, Qt::AlignVCenter);
    top->addWidget(title_, card ? 1 : 0);
    if (!metaText.isEmpty()) {
        meta_ = DetailStyle::caption(
            metaText, 13, card ? DetailStyle::secondary(this) : DetailStyle::tertiary(this));
        if (!card) {
            // Beside a long title the meta text wraps, but never into a sliver.
            meta_->setMinimumWidth(std::min(meta_->sizeHint().width(), kRowMetaMinWidth));
            top->addWidget(meta_, 0, Qt::AlignVCenter);
        }
    }
    if (!card) top->addStretch(1);
    top->addWidget(edit_, 0, Qt::AlignVCenter);

    if (!card) {
        top->setContentsMargins(0, 0, 0, 0);
        setLayout(top);
        return;
    }
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(18, 16, 18, 16);
    stack->setSpacing(4);
    stack->addLayout(top);
    if (meta_) {
        meta_->setContentsMargins(36, 0, 0, 0);
        stack->addWidget(meta_);
    }
}

QMenu* ActionItemView::contextMenu() {
    if (style_ != Style::card) return nullptr;
    if (!menu_) {
        menu_ = new QMenu(this);
        QMenu* priorities = menu_->addMenu(QStringLiteral("優先度"));
        for (const QString& p : DetailViewModel::priorities())
            priorities->addAction(p, this, [this, p] { emit priorityRequested(p); });
        menu_->addAction(done_ ? QStringLiteral("未完了に戻す") : QStringLiteral("完了にする"),
                         this, &ActionItemView::toggleRequested);
    }
    return menu_;
}

void ActionItemView::mousePressEvent(QMouseEvent* e) {
    pressed_ = e->button() == Qt::LeftButton;
}

void ActionItemView::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->pos());
    pressed_ = false;
    if (click) emit toggleRequested();
}

void ActionItemView::contextMenuEvent(QContextMenuEvent* e) {
    if (QMenu* menu = contextMenu()) menu->popup(e->globalPos());
}

void ActionItemView::paintEvent(QPaintEvent*) {
    if (style_ != Style::card) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(DetailStyle::quaternary(this), 1));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}
