#include "ui/main/dialogs/ShareAccessView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "platform/Clipboard.h"
#include "ui/main/dialogs/DialogStyle.h"
#include "ui/main/dialogs/DialogSymbols.h"
#include "ui/main/dialogs/ShareAccessModel.h"

using DialogStyle::Text;

ShareAccessView::ShareAccessView(ShareAccessModel* model, QWidget* parent)
    : QDialog(parent),
      model_(model),
      email_(new QLineEdit),
      role_(new QComboBox),
      add_(new QPushButton(QStringLiteral("追加"))),
      members_(new QVBoxLayout),
      public_(new QCheckBox(QStringLiteral("公開リンクを発行"))),
      urlRow_(new QWidget),
      url_(new QLabel),
      status_(DialogStyle::label(QString(), Text::callout, true)),
      delete_(new QPushButton(QStringLiteral("共有を削除"))),
      primary_(new QPushButton) {
    DialogStyle::makeSheet(*this, kSize);
    setWindowTitle(QStringLiteral("共有権限"));

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    // Tighter than the other sheets: with a link and a status shown, everything must fit.
    stack->setSpacing(10);

    stack->addLayout(DialogStyle::titleBar(*this, QStringLiteral("共有権限")));
    stack->addWidget(DialogStyle::secondaryLabel(
        QStringLiteral(
            "オーナーのみが権限を変更できます。編集者は内容を編集でき、閲覧者は読み取り専用です。"),
        Text::callout));

    auto* addRow = new QHBoxLayout;
    email_->setPlaceholderText(QStringLiteral("member@example.com"));
    role_->addItem(ShareAccessModel::roleLabel(ShareAccessModel::kViewer),
                   QString::fromLatin1(ShareAccessModel::kViewer));
    role_->addItem(ShareAccessModel::roleLabel(ShareAccessModel::kEditor),
                   QString::fromLatin1(ShareAccessModel::kEditor));
    role_->setFixedWidth(110);
    add_->setAutoDefault(false);
    addRow->addWidget(email_, 1);
    addRow->addWidget(role_);
    addRow->addWidget(add_);
    stack->addLayout(addRow);

    auto* memberArea = new QScrollArea;
    memberArea->setFixedHeight(150);
    memberArea->setWidgetResizable(true);
    auto* memberContent = new QWidget;
    memberContent->setAutoFillBackground(true);
    memberContent->setBackgroundRole(QPalette::Base);
    auto* memberColumn = new QVBoxLayout(memberContent);
    memberColumn->setContentsMargins(0, 4, 0, 4);
    memberColumn->setSpacing(0);
    members_->setContentsMargins(0, 0, 0, 0);
    members_->setSpacing(0);
    memberColumn->addLayout(members_);
    memberColumn->addStretch(1);
    memberArea->setWidget(memberContent);
    stack->addWidget(memberArea);
    stack->addWidget(public_);

    auto* urlLayout = new QHBoxLayout(urlRow_);
    urlLayout->setContentsMargins(0, 0, 0, 0);
    url_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    url_->setTextFormat(Qt::PlainText);
    auto* copy = new QPushButton(QStringLiteral("コピー"));
    copy->setAutoDefault(false);
    urlLayout->addWidget(url_, 1);
    urlLayout->addWidget(copy);
    stack->addWidget(urlRow_);
    UserText::makePlain(status_);  // it quotes the service's error texts
    stack->addWidget(status_);
    stack->addStretch(1);

    auto* bottom = new QHBoxLayout;
    delete_->setAutoDefault(false);
    DialogStyle::setColor(delete_, PanelStyle::red());
    primary_->setAutoDefault(false);
    DialogStyle::makeProminent(primary_);
    primary_->setDefault(false);
    bottom->addWidget(delete_);
    bottom->addStretch(1);
    bottom->addWidget(primary_);
    stack->addLayout(bottom);

    connect(email_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_->setEmail(text.toStdString()); });
    connect(role_, &QComboBox::currentIndexChanged, this,
            [this](int) { model_->setRole(role_->currentData().toString().toStdString()); });
    connect(add_, &QPushButton::clicked, model_, &ShareAccessModel::addMember);
    connect(email_, &QLineEdit::returnPressed, model_, &ShareAccessModel::addMember);
    connect(public_, &QCheckBox::toggled, model_, &ShareAccessModel::setPublic);
    connect(copy, &QPushButton::clicked, this, [this] {
        if (model_->publicURL()) Clipboard::setText(*model_->publicURL());
    });
    connect(delete_, &QPushButton::clicked, model_, &ShareAccessModel::deleteShare);
    connect(primary_, &QPushButton::clicked, model_, &ShareAccessModel::save);
    connect(model_, &ShareAccessModel::changed, this, &ShareAccessView::follow);
    follow();
}

void ShareAccessView::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // The dialog is opened to add a member: typing goes into the address at once, not to the
    // close button first in the tab order.
    email_->setFocus(Qt::OtherFocusReason);
}

ShareAccessView::~ShareAccessView() {
    disconnect(model_, nullptr, this, nullptr);
    model_->release();
}

void ShareAccessView::follow() {
    const QString typed = QString::fromStdString(model_->email());
    if (email_->text() != typed) email_->setText(typed);
    const int roleIndex = role_->findData(QString::fromStdString(model_->role()));
    if (roleIndex >= 0 && roleIndex != role_->currentIndex()) role_->setCurrentIndex(roleIndex);
    if (public_->isChecked() != model_->isPublic()) public_->setChecked(model_->isPublic());
    rebuildMembers();

    urlRow_->setVisible(model_->publicURL().has_value());
    url_->setText(QString::fromStdString(model_->publicURL().value_or(std::string())));
    status_->setVisible(model_->status().has_value());
    status_->setText(QString::fromStdString(model_->status().value_or(std::string())));
    if (model_->statusIsError())
        DialogStyle::setColor(status_, PanelStyle::red());
    else
        DialogStyle::setSecondary(status_);

    delete_->setVisible(model_->shareID().has_value());
    delete_->setEnabled(model_->canDelete());
    primary_->setText(model_->primaryTitle());
    primary_->setEnabled(model_->canSave());
}

void ShareAccessView::rebuildMembers() {
    const auto& list = model_->collaborators();
    if (list == shownMembers_ && members_->count() == static_cast<int>(list.size())) return;
    shownMembers_ = list;
    while (QLayoutItem* item = members_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        auto* row = new QWidget;
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(8, 2, 8, 2);
        layout->addWidget(UserText::plainLabel(QString::fromStdString(list[i].email)), 1);
        QLabel* role = new QLabel(ShareAccessModel::roleLabel(list[i].role));
        DialogStyle::setSecondary(role);
        layout->addWidget(role);
        auto* remove = new QToolButton;
        remove->setAutoRaise(true);
        remove->setIcon(DialogSymbols::icon(QStringLiteral("minus.circle"), 16,
                                            row->palette().color(QPalette::WindowText)));
        remove->setAccessibleName(QStringLiteral("削除"));
        // Queued: the list is rebuilt by the removal, and the button must not be deleted while
        // it is still reporting its click.
        connect(
            remove, &QToolButton::clicked, model_, [model = model_, i] { model->removeMember(i); },
            Qt::QueuedConnection);
        layout->addWidget(remove);
        row->setFixedHeight(30);
        members_->addWidget(row);
    }
}

int ShareAccessView::memberCount() const {
    return members_->count();
}
