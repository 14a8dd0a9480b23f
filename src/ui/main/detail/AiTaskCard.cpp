#include "ui/main/detail/AiTaskCard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/Symbols.h"
#include "ui/main/Motion.h"
#include "ui/main/detail/AgentSectionModel.h"
#include "ui/main/detail/DetailStyle.h"

AiTaskCard::AiTaskCard(const TodoItem& item, QWidget* parent) : CardFrame(12, parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 16, 18, 16);
    column->setSpacing(4);

    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    auto* icon = new QLabel(this);
    icon->setPixmap(Symbols::icon(QStringLiteral("sparkles"), motion::accent(this)).pixmap(18, 18));
    icon->setFixedWidth(22);
    icon->setAlignment(Qt::AlignCenter);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    task_ = new QLabel(QString::fromStdString(item.task), this);
    task_->setFont(PanelStyle::font(16));
    task_->setWordWrap(true);
    task_->setTextFormat(Qt::PlainText);
    DetailStyle::setHorizontalPolicy(task_, QSizePolicy::Expanding);
    row->addWidget(task_, 1);
    column->addLayout(row);

    const QString meta = AgentSectionModel::metaLine(item);
    if (!meta.isEmpty()) {
        meta_ = new QLabel(meta, this);
        meta_->setFont(PanelStyle::font(13));
        meta_->setTextFormat(Qt::PlainText);
        meta_->setWordWrap(true);
        QPalette colours = meta_->palette();
        colours.setColor(QPalette::WindowText, PanelStyle::secondary(this));
        meta_->setPalette(colours);
        meta_->setContentsMargins(36, 0, 0, 0);
        column->addWidget(meta_);
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setRunning(false);
}

void AiTaskCard::setRunning(bool running) {
    running_ = running;
    QColor accent = motion::accent(this);
    if (running) {
        QColor fill = accent, border = accent;
        fill.setAlphaF(0.06);
        border.setAlphaF(0.3);
        setColors(fill, border);
    } else {
        setColors(palette().color(QPalette::Base), PanelStyle::secondary(this, 0.22));
    }
}

QString AiTaskCard::taskText() const {
    return task_->text();
}

QString AiTaskCard::metaText() const {
    return meta_ ? meta_->text() : QString();
}
