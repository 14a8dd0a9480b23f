#include "ui/main/dialogs/EditorRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "desktop/PanelStyle.h"
#include "ui/main/dialogs/DialogSymbols.h"
#include "ui/main/dialogs/ElidedLineEdit.h"

EditorRow::EditorRow(const QString& symbol, const std::string& name, Save save, Remove remove,
                     QWidget* parent)
    : QWidget(parent),
      stored_(name),
      field_(new ElidedLineEdit(QString::fromStdString(name))),
      save_(new QPushButton(QStringLiteral("保存"))),
      delete_(new QToolButton) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel;
    icon->setPixmap(
        DialogSymbols::pixmap(symbol, 16, PanelStyle::secondary(this), devicePixelRatioF()));
    row->addWidget(icon, 0, Qt::AlignVCenter);
    field_->setPlaceholderText(QStringLiteral("名前"));
    field_->setFrame(false);
    row->addWidget(field_, 1, Qt::AlignVCenter);
    save_->setAutoDefault(false);
    row->addWidget(save_, 0, Qt::AlignVCenter);
    delete_->setAutoRaise(true);
    delete_->setIcon(DialogSymbols::icon(QStringLiteral("trash"), 16, PanelStyle::red()));
    delete_->setAccessibleName(QStringLiteral("削除"));
    row->addWidget(delete_, 0, Qt::AlignVCenter);

    connect(save_, &QPushButton::clicked, this, [this, save = std::move(save)] {
        // A name the library trims (or that was already stored) is shown as stored.
        if (save(field_->text().toStdString())) field_->setText(QString::fromStdString(stored_));
    });
    // Queued: deleting the item removes this row, which must not happen inside its own click.
    connect(delete_, &QToolButton::clicked, this, std::move(remove), Qt::QueuedConnection);
}

void EditorRow::setStoredName(const std::string& name) {
    if (name == stored_) return;
    stored_ = name;
    field_->setText(QString::fromStdString(name));
}
