#include "ui/main/HeaderView.h"

#include <QHBoxLayout>
#include <QVariantAnimation>

#include "desktop/PanelStyle.h"
#include "ui/main/HeaderModel.h"
#include "ui/main/Motion.h"
#include "ui/main/RecordButton.h"
#include "ui/main/ToolbarButton.h"

HeaderView::HeaderView(HeaderModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      ask_(new ToolbarButton(QStringLiteral("magnifyingglass"), HeaderModel::kAskAcrossHelp)),
      agent_(new ToolbarButton(QStringLiteral("sparkles"), QString())),
      record_(new RecordButton(model)),
      import_(new ToolbarButton(QStringLiteral("square.and.arrow.down"), HeaderModel::kImportHelp)),
      settings_(new ToolbarButton(QStringLiteral("gearshape"), HeaderModel::kSettingsHelp)),
      agentSpring_(new QVariantAnimation(this)) {
    setFixedHeight(kHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 0, 18, 0);
    row->setSpacing(10);
    row->addStretch(1);
    for (QWidget* w : std::initializer_list<QWidget*>{ask_, agent_, record_, import_, settings_})
        row->addWidget(w, 0, Qt::AlignVCenter);

    connect(ask_, &QAbstractButton::clicked, this, &HeaderView::askAcrossRequested);
    connect(agent_, &QAbstractButton::clicked, &model_, &HeaderModel::toggleAutoAgent);
    connect(import_, &QAbstractButton::clicked, &model_, &HeaderModel::importAudio);
    connect(settings_, &QAbstractButton::clicked, this, &HeaderView::settingsRequested);
    connect(&model_, &HeaderModel::recorderChanged, this, &HeaderView::followRecorder);
    connect(&model_, &HeaderModel::autoAgentChanged, this, [this] { followAgent(true); });

    // An underdamped spring: overshoots a little, then settles.
    agentSpring_->setDuration(450);
    agentSpring_->setEasingCurve(QEasingCurve::OutBack);
    connect(agentSpring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const auto from = HeaderModel::agentLook(!model_.autoAgent());
        const auto to = model_.agentLook();
        const qreal t = v.toReal();
        agent_->setScale(from.scale + (to.scale - from.scale) * t);
        agent_->setRotation(from.rotationDegrees + (to.rotationDegrees - from.rotationDegrees) * t);
    });
    followAgent(false);
    followRecorder();
}

void HeaderView::followAgent(bool animated) {
    const auto look = model_.agentLook();
    agent_->setToolTip(look.help);
    agent_->setTint(look.on ? motion::accent(this) : PanelStyle::secondary(this));
    agentSpring_->stop();
    if (animated && !PanelStyle::reduceMotion()) {
        agentSpring_->setStartValue(0.0);
        agentSpring_->setEndValue(1.0);
        agentSpring_->start();
    } else {
        agent_->setScale(look.scale);
        agent_->setRotation(look.rotationDegrees);
    }
}

void HeaderView::followRecorder() {
    import_->setEnabled(model_.importEnabled());
}
