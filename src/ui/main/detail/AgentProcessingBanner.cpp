#include "ui/main/detail/AgentProcessingBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "ui/main/Motion.h"
#include "ui/main/SpinnerRing.h"
#include "ui/main/detail/AgentPulseBadge.h"
#include "ui/main/detail/AgentSectionModel.h"

AgentProcessingBanner::AgentProcessingBanner(const QString& engine, QWidget* parent)
    : CardFrame(14, parent) {
    QColor fill = motion::accent(this), border = fill;
    fill.setAlphaF(0.08);
    border.setAlphaF(0.35);
    setColors(fill, border);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(14);
    row->addWidget(new AgentPulseBadge(this), 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title_ = new QLabel(AgentSectionModel::bannerTitle(0), this);
    title_->setFont(PanelStyle::font(15, QFont::DemiBold));
    texts->addWidget(title_);
    detail_ = UserText::plainLabel(AgentSectionModel::workingText(engine), this);
    detail_->setFont(PanelStyle::font(12));
    QPalette colours = detail_->palette();
    colours.setColor(QPalette::WindowText, PanelStyle::secondary(this));
    detail_->setPalette(colours);
    texts->addWidget(detail_);
    row->addLayout(texts, 1);
    row->addWidget(new SpinnerRing(16, 2, QColor(), this), 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &AgentProcessingBanner::tick);
    PanelStyle::onReduceMotionChanged(this, [this] { followMotionSetting(); });
}

QString AgentProcessingBanner::title() const {
    return title_->text();
}

QString AgentProcessingBanner::detail() const {
    return detail_->text();
}

void AgentProcessingBanner::setEngine(const QString& engine) {
    detail_->setText(AgentSectionModel::workingText(engine));
}

void AgentProcessingBanner::tick() {
    dots_ = AgentSectionModel::nextDots(dots_);
    title_->setText(AgentSectionModel::bannerTitle(dots_));
}

void AgentProcessingBanner::showEvent(QShowEvent*) {
    if (!PanelStyle::reduceMotion()) timer_.start();
}

void AgentProcessingBanner::hideEvent(QHideEvent*) {
    timer_.stop();
}

// Held still, the title shows no dots, as a banner made under reduced motion does.
void AgentProcessingBanner::followMotionSetting() {
    if (!PanelStyle::reduceMotion()) {
        if (isVisible() && !timer_.isActive()) timer_.start();
        return;
    }
    timer_.stop();
    dots_ = 0;
    title_->setText(AgentSectionModel::bannerTitle(dots_));
}
