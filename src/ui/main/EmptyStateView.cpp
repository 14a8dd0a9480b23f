#include "ui/main/EmptyStateView.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/Symbols.h"
#include "ui/main/ClockLabel.h"
#include "ui/main/Motion.h"
#include "ui/main/RecordingPulse.h"
#include "ui/main/ShimmerLine.h"
#include "ui/main/SpinnerRing.h"

namespace {

// A symbol drawn at a glyph's size for `pointSize`.
class SymbolView : public QWidget {
public:
    SymbolView(QString name, qreal size, QColor color, QWidget* parent = nullptr)
        : QWidget(parent), name_(std::move(name)), side_(size * 1.2), color_(color) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFixedSize(static_cast<int>(side_ + 0.5), static_cast<int>(side_ + 0.5));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Symbols::paint(p, name_, QRectF(0, 0, side_, side_), color_);
    }

private:
    QString name_;
    qreal side_;
    QColor color_;
};

}  // namespace

EmptyStateView::EmptyStateView(QWidget* parent) : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    rebuild();
}

QLabel* EmptyStateView::addLabel(const QString& text, const QFont& font, const QColor& color,
                                 bool clock) {
    QLabel* label = clock ? new ClockLabel(text, body_) : new QLabel(text, body_);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    label->setAlignment(Qt::AlignHCenter);
    // An empty error still takes its line.
    label->setMinimumHeight(label->fontMetrics().height());
    column_->addWidget(label, 0, Qt::AlignHCenter);
    return label;
}

void EmptyStateView::setContent(const EmptyStateContent& content) {
    if (content == content_) return;
    // Only the clock moved: keep the views, so that their animations run on.
    const bool inPlace = title_ && content.kind == content_.kind && content.hint == content_.hint &&
                         content.error == content_.error;
    content_ = content;
    if (inPlace) {
        title_->setText(content_.title);
        return;
    }
    rebuild();
}

void EmptyStateView::rebuild() {
    delete body_;
    title_ = nullptr;
    body_ = new QWidget(this);
    layout()->addWidget(body_);
    column_ = new QVBoxLayout(body_);
    column_->setSpacing(16);
    column_->addStretch(1);

    const QColor text = palette().color(QPalette::WindowText);
    const QColor secondary = PanelStyle::secondary(this);
    const QFont body = PanelStyle::font(13);
    using Kind = EmptyStateContent::Kind;
    switch (content_.kind) {
        case Kind::processing: {
            auto* stack = new QWidget(body_);
            auto* ring = new SpinnerRing(54, 3.5, QColor(), stack);
            stack->setFixedSize(ring->size());
            auto* sparkle =
                new SymbolView(QStringLiteral("sparkles"), 18, motion::accent(this), stack);
            sparkle->move((stack->width() - sparkle->width()) / 2,
                          (stack->height() - sparkle->height()) / 2);
            column_->addWidget(stack, 0, Qt::AlignHCenter);
            title_ = addLabel(content_.title, PanelStyle::font(15, QFont::Medium), text);

            auto* lines = new QWidget(body_);
            auto* linesColumn = new QVBoxLayout(lines);
            linesColumn->setContentsMargins(0, 6, 0, 0);
            linesColumn->setSpacing(9);
            linesColumn->addWidget(new ShimmerLine(260, 13), 0, Qt::AlignLeft);
            for (qreal w : {320.0, 300.0, 190.0})
                linesColumn->addWidget(new ShimmerLine(w, 11), 0, Qt::AlignLeft);
            column_->addWidget(lines, 0, Qt::AlignHCenter);
            break;
        }
        case Kind::recording:
            column_->addWidget(new RecordingPulse(16, body_), 0, Qt::AlignHCenter);
            title_ = addLabel(content_.title, PanelStyle::font(17), text, true);
            addLabel(content_.hint, body, secondary);
            break;
        case Kind::idle:
            column_->addWidget(new SymbolView(QStringLiteral("waveform"), 44, secondary, body_), 0,
                               Qt::AlignHCenter);
            addLabel(content_.hint, body, secondary);
            if (content_.error) addLabel(*content_.error, PanelStyle::font(10), PanelStyle::red());
            break;
    }
    column_->addStretch(1);
    motion::fadeIn(body_, 280, QEasingCurve::InOutQuad);
}

QStringList EmptyStateView::texts() const {
    QStringList out;
    for (const QLabel* label : body_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        out << label->text();
    return out;
}
