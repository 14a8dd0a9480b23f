#include "ui/settings/AccountSettings.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "ui/UiContext.h"
#include "ui/settings/AccountSettingsModel.h"
#include "ui/settings/SettingsCaption.h"
#include "ui/settings/SettingsDivider.h"
#include "ui/settings/SettingsParts.h"

namespace {

QVBoxLayout* column(QWidget* page) {
    auto* c = new QVBoxLayout(page);
    c->setContentsMargins(0, 0, 0, 0);
    c->setSpacing(10);
    return c;
}

}  // namespace

AccountSettings::AccountSettings(UiContext& ctx, QWidget* parent)
    : SettingsForm(parent), model_(new AccountSettingsModel(ctx.auth, ctx.store, this)) {
    build();
    connect(model_, &AccountSettingsModel::changed, this, &AccountSettings::follow);
    follow();
}

void AccountSettings::build() {
    // The e-mail step.
    pages_[0] = new QWidget;
    auto* mail = column(pages_[0]);
    mail->addWidget(settingsCaption(QStringLiteral("メールアドレスだけでログインできます。")));
    emailField_ = new QLineEdit;
    emailField_->setPlaceholderText(QStringLiteral("メールアドレス"));
    emailField_->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    mail->addWidget(emailField_);
    request_ = new QPushButton;
    mail->addWidget(request_, 0, Qt::AlignLeft);
    connect(emailField_, &QLineEdit::textEdited, model_, &AccountSettingsModel::setEmail);
    connect(emailField_, &QLineEdit::returnPressed, model_, &AccountSettingsModel::requestCode);
    connect(request_, &QPushButton::clicked, model_, &AccountSettingsModel::requestCode);

    // The code step.
    pages_[1] = new QWidget;
    auto* code = column(pages_[1]);
    code->addWidget(
        settingsCaption(QStringLiteral("メールに届いた6桁のコードを入力してください。")));
    codeField_ = new QLineEdit;
    codeField_->setPlaceholderText(QStringLiteral("6桁コード"));
    code->addWidget(codeField_);
    auto* buttons = new QHBoxLayout;
    verify_ = new QPushButton;
    back_ = new QPushButton(QStringLiteral("戻る"));
    buttons->addWidget(verify_);
    buttons->addWidget(back_);
    buttons->addStretch(1);
    code->addLayout(buttons);
    connect(codeField_, &QLineEdit::textEdited, model_, &AccountSettingsModel::setCode);
    connect(codeField_, &QLineEdit::returnPressed, model_, &AccountSettingsModel::verify);
    connect(verify_, &QPushButton::clicked, model_, &AccountSettingsModel::verify);
    connect(back_, &QPushButton::clicked, model_, &AccountSettingsModel::back);

    // Signed in.
    pages_[2] = new QWidget;
    auto* in = column(pages_[2]);
    auto* rows = new QFormLayout;
    // The address, the plan's name and the errors are the user's and the service's words.
    account_ = UserText::plainLabel();
    account_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    plan_ = UserText::plainLabel();
    const QColor line = PanelStyle::secondary(plan_);
    // A capsule outline around the plan's name, as wide as the name.
    plan_->setStyleSheet(QStringLiteral("QLabel { border: 1px solid rgba(%1, %2, %3, %4); "
                                        "border-radius: 10px; padding: 2px 8px; }")
                             .arg(line.red())
                             .arg(line.green())
                             .arg(line.blue())
                             .arg(line.alpha()));
    plan_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    count_ = UserText::plainLabel();
    rows->addRow(QStringLiteral("アカウント"), account_);
    rows->addRow(QStringLiteral("プラン"), plan_);
    rows->addRow(QStringLiteral("今月の作成数"), count_);
    in->addLayout(rows);
    in->addWidget(settingsDivider());
    auto* proTitle = new QLabel(QStringLiteral("Proプラン(準備中)"));
    QFont bold = proTitle->font();
    bold.setBold(true);
    proTitle->setFont(bold);
    in->addWidget(proTitle);
    in->addWidget(settingsCaption(
        QStringLiteral("クラウド履歴の同期・長時間録音・優先処理などを予定しています。"
                       "料金プラン確定後にここからアップグレードできるようになります。")));
    upgrade_ = new QPushButton(QStringLiteral("Proにアップグレード"));
    upgrade_->setEnabled(false);  // information only, for now
    in->addWidget(upgrade_, 0, Qt::AlignLeft);
    in->addWidget(settingsDivider());
    logout_ = new QPushButton(QStringLiteral("ログアウト"));
    in->addWidget(logout_, 0, Qt::AlignLeft);
    connect(logout_, &QPushButton::clicked, model_, &AccountSettingsModel::logout);

    for (QWidget* page : pages_) form()->addRow(page);
    error_ = UserText::plainLabel();
    error_->setWordWrap(true);
    error_->setFont(PanelStyle::font(11));
    settingsTint(error_, PanelStyle::red());
    form()->addRow(error_);
}

int AccountSettings::shownPage() const {
    for (int i = 0; i < 3; ++i)
        if (!pages_[i]->isHidden()) return i;
    return -1;
}

void AccountSettings::follow() {
    const int page = int(model_->page());
    const int before = shownPage();
    // Asked from this tab (the button pressed, or Return in a field), the next step's field
    // takes the keyboard; it is left alone when the user went to another tab meanwhile.
    const QWidget* focused = window()->focusWidget();
    const bool typingHere = isVisible() && focused && isAncestorOf(focused);
    // The new step shows before the old one hides, so the keyboard never falls to a hidden
    // field or out of the tab.
    pages_[page]->setVisible(true);
    for (int i = 0; i < 3; ++i)
        if (i != page) pages_[i]->setVisible(false);
    QLineEdit* const fields[] = {emailField_, codeField_, nullptr};
    if (page != before && typingHere && fields[page]) fields[page]->setFocus(Qt::OtherFocusReason);
    if (emailField_->text() != model_->email()) emailField_->setText(model_->email());
    if (codeField_->text() != model_->code()) codeField_->setText(model_->code());
    request_->setText(model_->requestLabel());
    verify_->setText(model_->verifyLabel());
    // A button disabled while it has the keyboard (its request running) would hand it on out of
    // the tab: the field it sends takes it back.
    for (auto [button, field, on] : {std::tuple{request_, emailField_, model_->canRequestCode()},
                                     std::tuple{verify_, codeField_, model_->canVerify()}}) {
        if (!on && window()->focusWidget() == button && field->isVisibleTo(this))
            field->setFocus(Qt::OtherFocusReason);
        button->setEnabled(on);
    }
    account_->setText(model_->accountEmail());
    plan_->setText(model_->planBadge());
    count_->setText(model_->monthCount());
    error_->setText(model_->error());
    error_->setVisible(!model_->error().isEmpty());
}
