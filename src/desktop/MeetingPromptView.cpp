#include "desktop/MeetingPromptView.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include "desktop/PanelStyle.h"
#include "desktop/Symbols.h"

namespace {
constexpr int kPadH = 14;
constexpr int kPadV = 12;
constexpr int kSpacing = 12;
constexpr int kMinSpacer = 8;
constexpr int kTile = 38;
constexpr qreal kTileRadius = 9;
constexpr qreal kSymbolSize = 17;
constexpr int kTextGap = 2;
constexpr qreal kTitleSize = 12.5;
constexpr qreal kQuestionSize = 11;
constexpr qreal kButtonTextSize = 11.5;
constexpr int kButtonPadH = 12;
constexpr int kButtonPadV = 7;
constexpr int kDot = 6;
constexpr int kDotGap = 5;
constexpr int kClose = 24;
constexpr qreal kCloseSymbol = 10;
constexpr qreal kCornerRadius = 16;

QFont titleFont() {
    return PanelStyle::font(kTitleSize, QFont::Bold);
}
QFont questionFont() {
    return PanelStyle::font(kQuestionSize);
}
QFont buttonFont() {
    return PanelStyle::font(kButtonTextSize, QFont::DemiBold);
}
}  // namespace

MeetingPromptView::MeetingPromptView(QString meetingTitle, std::function<void()> onStart,
                                     std::function<void()> onSkip, QWidget* parent)
    : QWidget(parent),
      meetingTitle_(std::move(meetingTitle)),
      onStart_(std::move(onStart)),
      onSkip_(std::move(onSkip)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

QSize MeetingPromptView::startButtonSize() const {
    const QFontMetrics fm(buttonFont());
    const int w = kButtonPadH + kDot + kDotGap + fm.horizontalAdvance(kStartLabel) + kButtonPadH;
    return QSize(w, kButtonPadV + fm.height() + kButtonPadV);
}

QSize MeetingPromptView::sizeHint() const {
    const int text =
        QFontMetrics(titleFont()).height() + kTextGap + QFontMetrics(questionFont()).height();
    const int content = std::max({kTile, text, startButtonSize().height(), kClose});
    return QSize(kWidth, kPadV + content + kPadV);
}

QRect MeetingPromptView::closeButtonRect() const {
    return QRect(width() - kPadH - kClose, (height() - kClose) / 2, kClose, kClose);
}

QRect MeetingPromptView::startButtonRect() const {
    const QSize s = startButtonSize();
    return QRect(closeButtonRect().left() - kSpacing - s.width(), (height() - s.height()) / 2,
                 s.width(), s.height());
}

QRect MeetingPromptView::textRect() const {
    const int left = kPadH + kTile + kSpacing;
    // The spacer keeps at least its minimum width, with the stack's spacing on both sides.
    const int right = startButtonRect().left() - kSpacing - kMinSpacer - kSpacing;
    const int h =
        QFontMetrics(titleFont()).height() + kTextGap + QFontMetrics(questionFont()).height();
    return QRect(left, (height() - h) / 2, std::max(0, right - left), h);
}

QString MeetingPromptView::fullTitle() const {
    return QStringLiteral("「%1」が始まりました").arg(meetingTitle_);
}

QString MeetingPromptView::shownTitle() const {
    return QFontMetrics(titleFont()).elidedText(fullTitle(), Qt::ElideRight, textRect().width());
}

void MeetingPromptView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    PanelStyle::paintBackground(p, this, kCornerRadius);

    PanelStyle::paintIconTile(p, QRectF(kPadH, (height() - kTile) / 2.0, kTile, kTile), kTileRadius,
                              kSymbolSize);

    const QRect text = textRect();
    const int titleH = QFontMetrics(titleFont()).height();
    p.setFont(titleFont());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(text.left(), text.top(), text.width(), titleH), Qt::AlignLeft | Qt::AlignTop,
               shownTitle());
    p.setFont(questionFont());
    p.setPen(PanelStyle::secondary(this));
    p.drawText(QRect(text.left(), text.top() + titleH + kTextGap, text.width(),
                     text.height() - titleH - kTextGap),
               Qt::AlignLeft | Qt::AlignTop, kQuestion);

    const QRectF start = startButtonRect();
    QPainterPath pill;
    pill.addRoundedRect(start, start.height() / 2, start.height() / 2);
    p.fillPath(pill, PanelStyle::red());
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(start.left() + kButtonPadH, start.center().y() - kDot / 2.0, kDot, kDot));
    p.setPen(Qt::white);
    p.setFont(buttonFont());
    p.drawText(start.adjusted(kButtonPadH + kDot + kDotGap, 0, -kButtonPadH, 0),
               Qt::AlignLeft | Qt::AlignVCenter, kStartLabel);

    const QRectF close = closeButtonRect();
    p.setPen(Qt::NoPen);
    p.setBrush(PanelStyle::secondary(this, 0.12));
    p.drawEllipse(close);
    const qreal s = kCloseSymbol;
    Symbols::paint(p, QStringLiteral("xmark"),
                   QRectF(close.center().x() - s / 2, close.center().y() - s / 2, s, s),
                   PanelStyle::secondary(this));
}

MeetingPromptView::Button MeetingPromptView::buttonAt(QPoint pt) const {
    if (startButtonRect().contains(pt)) return Button::start;
    if (closeButtonRect().contains(pt)) return Button::close;
    return Button::none;
}

void MeetingPromptView::mousePressEvent(QMouseEvent* e) {
    pressed_ = e->button() == Qt::LeftButton ? buttonAt(e->position().toPoint()) : Button::none;
    if (pressed_ == Button::none)
        e->ignore();  // the panel behind drags the window
    else
        e->accept();
}

void MeetingPromptView::mouseReleaseEvent(QMouseEvent* e) {
    const Button pressed = pressed_;
    pressed_ = Button::none;
    if (pressed == Button::none || e->button() != Qt::LeftButton ||
        buttonAt(e->position().toPoint()) != pressed) {
        e->ignore();
        return;
    }
    e->accept();
    // The owner may close this view's panel from the callback; copy it first.
    const auto action = pressed == Button::start ? onStart_ : onSkip_;
    if (action) action();
}

bool MeetingPromptView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (closeButtonRect().contains(help->pos()))
            QToolTip::showText(help->globalPos(), kSkipHelp, this, closeButtonRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}
