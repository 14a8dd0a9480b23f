#include "ui/main/detail/TaskEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>

#include "ui/main/detail/DetailStyle.h"
#include "ui/main/detail/DetailViewModel.h"

namespace {

QDateTime toQt(Timestamp t) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}

Timestamp fromQt(const QDateTime& t) {
    return Timestamp(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

}  // namespace

TaskEditor::TaskEditor(DetailViewModel& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("タスクを編集"));
    setFont(DetailStyle::font(13));
    setFixedWidth(kWidth);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(18);
    auto* heading = new QLabel(QStringLiteral("タスクを編集"));
    heading->setFont(DetailStyle::font(22, QFont::Bold));
    stack->addWidget(heading);

    title_ = new QLineEdit;
    title_->setPlaceholderText(QStringLiteral("タスク"));
    stack->addWidget(title_);
    assignee_ = new QLineEdit;
    assignee_->setPlaceholderText(QStringLiteral("担当者"));
    stack->addWidget(assignee_);

    auto* priorityRow = new QHBoxLayout;
    priorityRow->setSpacing(0);
    priorityRow->addWidget(new QLabel(QStringLiteral("優先度")));
    priorityRow->addSpacing(12);
    priority_ = new QButtonGroup(this);
    for (const QString& p : DetailViewModel::priorities()) {
        auto* b = new QPushButton(p);
        b->setCheckable(true);
        b->setMinimumWidth(72);
        priority_->addButton(b);
        priorityRow->addWidget(b);
        connect(b, &QPushButton::toggled, this, [this, p](bool on) {
            if (on) model_.setTaskPriority(p);
        });
    }
    priorityRow->addStretch(1);
    stack->addLayout(priorityRow);

    hasDue_ = new QCheckBox(QStringLiteral("期限を設定"));
    stack->addWidget(hasDue_);
    dueRow_ = new QWidget;
    auto* dueRow = new QHBoxLayout(dueRow_);
    dueRow->setContentsMargins(0, 0, 0, 0);
    dueRow->setSpacing(12);
    auto* dueLabel = new QLabel(QStringLiteral("期限"));
    due_ = new QDateTimeEdit;
    due_->setCalendarPopup(true);
    due_->setDisplayFormat(QStringLiteral("yyyy/MM/dd HH:mm"));
    dueLabel->setBuddy(due_);
    dueRow->addWidget(dueLabel);
    dueRow->addWidget(due_);
    dueRow->addStretch(1);
    stack->addWidget(dueRow_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new QPushButton(QStringLiteral("キャンセル"));
    save_ = new QPushButton(QStringLiteral("保存"));
    save_->setDefault(true);
    buttons->addWidget(cancel_);
    buttons->addWidget(save_);
    stack->addLayout(buttons);

    connect(title_, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_.setTaskTitle(t); });
    connect(assignee_, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_.setTaskAssignee(t); });
    connect(hasDue_, &QCheckBox::toggled, this, [this](bool on) { model_.setTaskHasDueDate(on); });
    connect(due_, &QDateTimeEdit::dateTimeChanged, this,
            [this](const QDateTime& t) { model_.setTaskDueDate(fromQt(t)); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(save_, &QPushButton::clicked, this, &QDialog::accept);
    connect(&model_, &DetailViewModel::editorChanged, this, &TaskEditor::follow);
    load();
}

QAbstractButton* TaskEditor::priorityButton(const QString& priority) const {
    for (QAbstractButton* b : priority_->buttons())
        if (b->text() == priority) return b;
    return nullptr;
}

void TaskEditor::load() {
    title_->setText(model_.taskTitle());
    assignee_->setText(model_.taskAssignee());
    const QString priority = model_.taskPriority();
    if (QAbstractButton* b = priorityButton(priority)) {
        b->setChecked(true);
    } else if (QAbstractButton* checked = priority_->checkedButton()) {
        // A stored priority outside the three: none is chosen until the user picks one.
        priority_->setExclusive(false);
        checked->setChecked(false);
        priority_->setExclusive(true);
    }
    model_.setTaskPriority(priority);
    hasDue_->setChecked(model_.taskHasDueDate());
    const QSignalBlocker block(due_);
    due_->setDateTime(toQt(model_.taskDueDate()));
    follow();
}

void TaskEditor::follow() {
    dueRow_->setVisible(model_.taskHasDueDate());
    save_->setEnabled(model_.canSave());
    resize(kWidth, sizeHint().height());
}

void TaskEditor::done(int result) {
    // Save stores and closes; every other way out closes without storing.
    if (result == QDialog::Accepted) {
        if (!model_.canSave()) return;
        model_.saveEditedTask();
    } else {
        model_.cancelEditing();
    }
    QDialog::done(result);
}
