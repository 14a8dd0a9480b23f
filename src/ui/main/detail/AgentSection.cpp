#include "ui/main/detail/AgentSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/Symbols.h"
#include "ui/main/Motion.h"
#include "ui/main/detail/AgentProcessingBanner.h"
#include "ui/main/detail/AgentSectionModel.h"
#include "ui/main/detail/AiTaskCard.h"
#include "ui/main/detail/CardFrame.h"
#include "ui/main/detail/DetailStyle.h"

namespace {

const QColor kGreen(52, 199, 89);
const QColor kOrange(255, 149, 0);

QColor withAlpha(QColor c, qreal alpha) {
    c.setAlphaF(alpha);
    return c;
}

QLabel* symbol(const QString& name, const QColor& color, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Symbols::icon(name, color).pixmap(size, size));
    return label;
}

QLabel* text(const QString& s, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(s, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

AgentSection::AgentSection(AgentSectionModel& model, std::vector<TodoItem> items, QWidget* parent)
    : QWidget(parent), model_(model), hasItems_(!items.empty()) {
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(10);
    if (hasItems_) {
        auto* list = new QVBoxLayout;
        list->setSpacing(8);
        for (const TodoItem& item : items) {
            auto* card = new AiTaskCard(item, this);
            list->addWidget(card);
            cards_.push_back(card);
        }
        column_->addLayout(list);
    }
    connect(&model_, &AgentSectionModel::runChanged, this, &AgentSection::rebuildBlock);
    connect(&model_, &AgentSectionModel::problemChanged, this, [this] {
        if (!problem_) return;
        problem_->setText(model_.problem());
        problem_->setVisible(!model_.problem().isEmpty());
    });
    connect(&model_, &AgentSectionModel::engineNameChanged, this, [this] {
        if (auto* banner = qobject_cast<AgentProcessingBanner*>(block_))
            banner->setEngine(model_.engineName());
    });
    rebuildBlock();
}

QPushButton* AgentSection::button(const QString& label) const {
    if (!block_) return nullptr;
    if (auto* own = qobject_cast<QPushButton*>(block_); own && own->text() == label) return own;
    for (auto* b : block_->findChildren<QPushButton*>())
        if (b->text() == label) return b;
    return nullptr;
}

void AgentSection::rebuildBlock() {
    const bool running = model_.running();
    for (AiTaskCard* card : cards_) card->setRunning(running);
    problem_ = nullptr;
    if (block_) {
        // Later: the click of one of its own buttons may be what changed the run.
        column_->removeWidget(block_);
        block_->hide();
        block_->deleteLater();
    }

    using Block = AgentSectionModel::Block;
    switch (model_.block()) {
        case Block::running:
            block_ = new AgentProcessingBanner(model_.engineName(), this);
            break;
        case Block::done: {
            auto* card = new CardFrame(12, this);
            card->setColors(withAlpha(kGreen, 0.08), withAlpha(kGreen, 0.3));
            auto* lines = new QVBoxLayout(card);
            lines->setContentsMargins(14, 14, 14, 14);
            lines->setSpacing(8);
            auto* row = new QHBoxLayout;
            row->setSpacing(10);
            lines->addLayout(row);
            row->addWidget(symbol(QStringLiteral("checkmark.circle.fill"), kGreen, 20, card));
            row->addWidget(
                text(AgentSectionModel::kDoneText, PanelStyle::font(14, QFont::DemiBold), card));
            row->addStretch(1);
            auto* folder = new QPushButton(AgentSectionModel::kOpenFolder, card);
            connect(folder, &QPushButton::clicked, this, [this] { model_.openFolder(); });
            auto* report = new QPushButton(AgentSectionModel::kOpenReport, card);
            connect(report, &QPushButton::clicked, this, [this] { model_.openReport(); });
            auto* rerun = new QPushButton(AgentSectionModel::kRerun, card);
            rerun->setFlat(true);
            rerun->setFont(PanelStyle::font(12));
            rerun->setCursor(Qt::PointingHandCursor);
            QPalette colours = rerun->palette();
            colours.setColor(QPalette::ButtonText, PanelStyle::secondary(this));
            rerun->setPalette(colours);
            connect(rerun, &QPushButton::clicked, this, [this] { model_.dispatch(); });
            row->addWidget(folder);
            row->addWidget(report);
            row->addWidget(rerun);
            // Under the buttons: what they could not open.
            problem_ = DetailStyle::caption(model_.problem(), 12, PanelStyle::red());
            // A long path wraps, or is cut, rather than widen the pane.
            DetailStyle::setHorizontalPolicy(problem_, QSizePolicy::Ignored);
            problem_->setVisible(!model_.problem().isEmpty());
            lines->addWidget(problem_);
            block_ = card;
            break;
        }
        case Block::failed: {
            // Only the fixed text: the cause is in the run folder's log.
            auto* card = new CardFrame(12, this);
            card->setColors(Qt::transparent, DetailStyle::quaternary(this));
            auto* row = new QHBoxLayout(card);
            row->setContentsMargins(14, 14, 14, 14);
            row->setSpacing(10);
            row->addWidget(
                symbol(QStringLiteral("exclamationmark.triangle.fill"), kOrange, 16, card), 0,
                Qt::AlignVCenter);
            row->addWidget(text(AgentSectionModel::kFailedText, PanelStyle::font(14), card), 0,
                           Qt::AlignVCenter);
            row->addStretch(1);
            auto* retry = new QPushButton(AgentSectionModel::kRetry, card);
            connect(retry, &QPushButton::clicked, this, [this] { model_.dispatch(); });
            row->addWidget(retry, 0, Qt::AlignVCenter);
            block_ = card;
            break;
        }
        case Block::start: {
            auto* start = new QPushButton(Symbols::icon(QStringLiteral("sparkles"), Qt::white),
                                          AgentSectionModel::startLabel(hasItems_), this);
            start->setFont(PanelStyle::font(14, QFont::Medium));
            start->setIconSize(QSize(16, 16));
            start->setCursor(Qt::PointingHandCursor);
            const QColor accent = motion::accent(this);
            start->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; "
                                                "border: none; border-radius: 7px; "
                                                "padding: 9px 16px; }"
                                                "QPushButton:pressed { background: %2; }")
                                     .arg(accent.name(), accent.darker(115).name()));
            start->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
            connect(start, &QPushButton::clicked, this, [this] { model_.dispatch(); });
            block_ = start;
            break;
        }
    }
    if (block_->sizePolicy().horizontalPolicy() != QSizePolicy::Fixed)
        block_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    column_->addWidget(block_, 0,
                       block_->sizePolicy().horizontalPolicy() == QSizePolicy::Fixed
                           ? Qt::AlignLeading
                           : Qt::Alignment());
    block_->show();
}
