#include "ui/main/sidebar/SidebarView.h"

#include <QListWidget>
#include <QPalette>
#include <QVBoxLayout>

#include "ui/UiContext.h"
#include "ui/main/MainViewModel.h"

namespace {
constexpr int kIdRole = Qt::UserRole;
}

SidebarView::SidebarView(UiContext& ctx, MainViewModel& model, QWidget* parent)
    : QWidget(parent), ctx_(ctx), model_(model), list_(new QListWidget) {
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    column->addWidget(list_);

    connect(&model_, &MainViewModel::listChanged, this, &SidebarView::rebuildList);
    connect(&model_, &MainViewModel::selectedIDChanged, this, &SidebarView::followSelection);
    // Selection, not the current item: a list that gains focus makes its first row current
    // without the user choosing it.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const auto chosen = list_->selectedItems();
        if (!chosen.isEmpty())
            model_.setSelectedID(chosen.front()->data(kIdRole).toString().toStdString());
    });
    rebuildList();
}

void SidebarView::rebuildList() {
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const MinutesRecord* r : model_.filtered()) {
        auto* item = new QListWidgetItem(QString::fromStdString(r->result.title), list_);
        item->setData(kIdRole, QString::fromStdString(r->id));
    }
    followSelection();
}

void SidebarView::followSelection() {
    const MinutesRecord* shown = model_.selected();
    const QSignalBlocker quiet(list_);
    list_->clearSelection();
    if (!shown) return;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->data(kIdRole).toString().toStdString() == shown->id)
            list_->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
}
