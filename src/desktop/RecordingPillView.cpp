#include "desktop/RecordingPillView.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVariantAnimation>

#include "desktop/ClockText.h"
#include "desktop/PanelStyle.h"
#include "desktop/TabularDigits.h"
#include "desktop/WaveBars.h"
#include "engine/RecorderControl.h"

namespace {
constexpr int kPadding = 12;
constexpr int kSpacing = 11;
constexpr int kTile = 30;
constexpr qreal kTileRadius = 8;
constexpr qreal kSymbolSize = 13;
constexpr int kStop = 30;
constexpr qreal kStopSquare = 11;
constexpr qreal kStopSquareRadius = 3;
constexpr int kSpinner = 16;
constexpr qreal kClockSize = 9.5;
constexpr qreal kProcessingSize = 9;
}  // namespace

RecordingPillView::RecordingPillView(RecorderControl& recorder, QWidget* parent)
    : QWidget(parent),
      recorder_(recorder),
      bars_(new WaveBars(this)),
      spin_(new QVariantAnimation(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    spin_->setStartValue(0.0);
    spin_->setEndValue(360.0);
    spin_->setDuration(1000);
    spin_->setLoopCount(-1);
    connect(spin_, &QVariantAnimation::valueChanged, this, [this] { update(spinnerRect()); });
    connect(&recorder_, &RecorderControl::phaseChanged, this, [this] { phaseChanged(); });
    connect(&recorder_, &RecorderControl::elapsedChanged, this, [this] { update(); });
    PanelStyle::onReduceMotionChanged(this, [this] { followMotionSetting(); });
    setFixedSize(sizeHint());
    phaseChanged();
}

QFont RecordingPillView::clockFont() {
    return PanelStyle::font(kClockSize, QFont::Medium);
}

int RecordingPillView::clockHeight() const {
    return QFontMetrics(clockFont()).height();
}

int RecordingPillView::processingTextHeight() const {
    return QFontMetrics(PanelStyle::font(kProcessingSize)).height();
}

QSize RecordingPillView::sizeHint() const {
    // Sized for the recording content, the taller of the two.
    const int h = kPadding + kTile + kSpacing + static_cast<int>(WaveBars::kHeight) + kSpacing +
                  clockHeight() + kSpacing + kStop + kPadding;
    return QSize(kWidth, h);
}

QRect RecordingPillView::tileRect() const {
    int top = kPadding;
    if (!showsStopButton()) {
        // The shorter processing content sits in the middle of the pill.
        const int content = kTile + kSpacing + kSpinner + kSpacing + processingTextHeight();
        top = (height() - content) / 2;
    }
    return QRect((width() - kTile) / 2, top, kTile, kTile);
}

QRect RecordingPillView::spinnerRect() const {
    const QRect t = tileRect();
    return QRect((width() - kSpinner) / 2, t.bottom() + 1 + kSpacing, kSpinner, kSpinner);
}

QRect RecordingPillView::stopButtonRect() const {
    if (!showsStopButton()) return {};
    return QRect((width() - kStop) / 2, height() - kPadding - kStop, kStop, kStop);
}

bool RecordingPillView::spinning() const {
    return spin_->state() == QAbstractAnimation::Running;
}

bool RecordingPillView::showsStopButton() const {
    return recorder_.phase() != RecorderControl::Phase::processing;
}

QString RecordingPillView::clockLabel() const {
    return QString::fromStdString(clockText(recorder_.elapsed()));
}

QRectF RecordingPillView::clockTextRect() const {
    const qreal w = TabularDigits::width(clockFont(), clockLabel());
    return QRectF((width() - w) / 2, bars_->geometry().bottom() + 1 + kSpacing, w, clockHeight());
}

void RecordingPillView::relayout() {
    const QRect t = tileRect();
    bars_->move((width() - bars_->width()) / 2, t.bottom() + 1 + kSpacing);
}

void RecordingPillView::resizeEvent(QResizeEvent*) {
    relayout();
}

void RecordingPillView::phaseChanged() {
    const bool processing = !showsStopButton();
    bars_->setVisible(!processing);  // a new show restarts the bars from full height
    if (processing) pressOnStop_ = false;
    followMotionSetting();
    relayout();
}

void RecordingPillView::followMotionSetting() {
    if (!showsStopButton() && !PanelStyle::reduceMotion()) {
        if (spin_->state() != QAbstractAnimation::Running) spin_->start();
    } else {
        spin_->stop();
    }
    update();
}

void RecordingPillView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    PanelStyle::paintBackground(p, this, width() / 2.0);

    PanelStyle::paintIconTile(p, tileRect(), kTileRadius, kSymbolSize);

    if (!showsStopButton()) {
        const QRectF s = QRectF(spinnerRect()).adjusted(1.5, 1.5, -1.5, -1.5);
        // Held still, the arc stands where each turn starts.
        const qreal angle =
            spin_->state() == QAbstractAnimation::Running ? spin_->currentValue().toReal() : 0;
        QPen track(PanelStyle::secondary(this, 0.25), 2);
        p.setPen(track);
        p.drawEllipse(s);
        QPen arc(PanelStyle::secondary(this), 2, Qt::SolidLine, Qt::RoundCap);
        p.setPen(arc);
        p.drawArc(s, static_cast<int>(-angle * 16), 90 * 16);

        p.setPen(PanelStyle::secondary(this));
        p.setFont(PanelStyle::font(kProcessingSize));
        const QRect text(0, spinnerRect().bottom() + 1 + kSpacing, width(), processingTextHeight());
        p.drawText(text, Qt::AlignHCenter | Qt::AlignTop, kProcessingText);
        return;
    }

    p.setFont(clockFont());
    p.setPen(PanelStyle::secondary(this));
    TabularDigits::draw(p, clockTextRect(), Qt::AlignHCenter | Qt::AlignTop, clockLabel());

    const QRectF stop = stopButtonRect();
    QColor faint = PanelStyle::red();
    faint.setAlphaF(0.15f);
    p.setPen(Qt::NoPen);
    p.setBrush(faint);
    p.drawEllipse(stop);
    QPainterPath square;
    const QPointF c = stop.center();
    square.addRoundedRect(
        QRectF(c.x() - kStopSquare / 2, c.y() - kStopSquare / 2, kStopSquare, kStopSquare),
        kStopSquareRadius, kStopSquareRadius);
    p.fillPath(square, PanelStyle::red());
}

void RecordingPillView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && stopButtonRect().contains(e->position().toPoint())) {
        pressOnStop_ = true;
        e->accept();
        return;
    }
    e->ignore();  // the panel behind drags the window
}

void RecordingPillView::mouseReleaseEvent(QMouseEvent* e) {
    const bool wasOnStop = pressOnStop_;
    pressOnStop_ = false;
    if (wasOnStop && e->button() == Qt::LeftButton &&
        stopButtonRect().contains(e->position().toPoint())) {
        e->accept();
        recorder_.toggle();
        return;
    }
    e->ignore();
}

bool RecordingPillView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (stopButtonRect().contains(help->pos()))
            QToolTip::showText(help->globalPos(), kStopHelp, this, stopButtonRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}
