#include "ui/main/RecordButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QVariantAnimation>

#include <cmath>

#include "desktop/PanelStyle.h"
#include "desktop/Symbols.h"
#include "desktop/TabularDigits.h"
#include "ui/main/Motion.h"
#include "ui/main/RecordingPulse.h"
#include "ui/main/SpinnerRing.h"
#include "ui/main/ToolbarButton.h"

namespace {
constexpr int kFrame = ToolbarButton::kFrame;
constexpr int kSpacing = 6;
constexpr int kPadX = 3;
constexpr qreal kBodySize = 13;
}  // namespace

RecordButton::RecordButton(HeaderModel& model, QWidget* parent)
    : BezelButton(parent),
      model_(model),
      pulse_(new RecordingPulse(8, this)),
      spinner_(new SpinnerRing(16, 2, QColor(), this)),
      resize_(new QVariantAnimation(this)) {
    setToolTip(HeaderModel::kRecordHelp);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, &model_, &HeaderModel::toggleRecording);
    connect(&model_, &HeaderModel::recorderChanged, this, &RecordButton::follow);
    // A lightly damped spring: the new look fades in while the width settles with a small
    // overshoot.
    resize_->setDuration(350);
    resize_->setEasingCurve(QEasingCurve(QEasingCurve::OutBack));
    connect(resize_, &QVariantAnimation::valueChanged, this, [this](const QVariant& w) {
        setFixedWidth(w.toInt());
        updateGeometry();
    });
    follow();
}

QFont RecordButton::clockFont() {
    return PanelStyle::font(kBodySize);
}

QRect RecordButton::frameRect() const {
    return QRect(kPadX, (height() - kFrame) / 2, kFrame, kFrame);
}

QSize RecordButton::sizeHint() const {
    int w = kPadX + kFrame + kPadX;
    if (look_.kind == HeaderModel::RecordLook::Kind::clock)
        w += kSpacing + static_cast<int>(std::ceil(TabularDigits::width(clockFont(), look_.text)));
    return QSize(w, kFrame + 4);
}

void RecordButton::follow() {
    const auto look = model_.recordLook();
    const bool newKind = look.kind != look_.kind;
    look_ = look;
    setEnabled(look_.enabled);
    using Kind = HeaderModel::RecordLook::Kind;
    const QRect f = frameRect();
    const QPoint centre(f.x() + f.width() / 2, f.y() + f.height() / 2);
    pulse_->move(centre - QPoint(pulse_->width() / 2, pulse_->height() / 2));
    spinner_->move(centre - QPoint(spinner_->width() / 2, spinner_->height() / 2));
    pulse_->setVisible(look_.kind == Kind::clock);
    spinner_->setVisible(look_.kind == Kind::spinner);
    const QSize size = sizeHint();
    const bool animate = newKind && isVisible() && !PanelStyle::reduceMotion();
    const bool springing = resize_->state() == QAbstractAnimation::Running;
    if (springing && !animate && resize_->endValue().toInt() == size.width()) {
        update();  // already on its way there
        return;
    }
    resize_->stop();
    if (animate && size.width() != width()) {
        setFixedHeight(size.height());
        resize_->setStartValue(width());
        resize_->setEndValue(size.width());
        resize_->start();
    } else if (size != this->size()) {
        setFixedSize(size);
        updateGeometry();
    }
    if (animate) motion::fadeIn(this, 220, QEasingCurve::OutCubic);
    update();
}

void RecordButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintBezel(p);
    using Kind = HeaderModel::RecordLook::Kind;
    if (look_.kind == Kind::symbol) {
        const QRectF f = frameRect();
        const qreal g = ToolbarButton::kGlyph;
        Symbols::paint(p, QStringLiteral("record.circle"),
                       QRectF(f.center().x() - g / 2, f.center().y() - g / 2, g, g),
                       palette().color(QPalette::WindowText));
    } else if (look_.kind == Kind::clock) {
        p.setFont(clockFont());
        p.setPen(PanelStyle::red());
        const QRect text(frameRect().right() + 1 + kSpacing, 0, width(), height());
        TabularDigits::draw(p, text, Qt::AlignLeft | Qt::AlignVCenter, look_.text);
    }
}
