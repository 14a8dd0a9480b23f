#include "ui/settings/AgentSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/UiContext.h"
#include "ui/settings/AgentSettingsModel.h"
#include "ui/settings/BrandIcon.h"
#include "ui/settings/ElidedLabel.h"
#include "ui/settings/SettingsCaption.h"
#include "ui/settings/SettingsDivider.h"
#include "ui/settings/SettingsParts.h"

AgentSettings::AgentSettings(UiContext& ctx, QWidget* parent)
    : AgentSettings(ctx, new AgentSettingsModel(ctx.defaults), parent) {}

AgentSettings::AgentSettings(UiContext&, AgentSettingsModel* model, QWidget* parent)
    : SettingsForm(parent), model_(model) {
    model_->setParent(this);
    build();
    connect(model_, &AgentSettingsModel::changed, this, &AgentSettings::follow);
    connect(this, &SettingsForm::tabShown, model_, &AgentSettingsModel::tabShown);
    connect(this, &SettingsForm::tabLeft, model_, &AgentSettingsModel::tabLeft);
    follow();
}

void AgentSettings::build() {
    SettingsFormLayout* f = form();
    autoAgent_ = new QCheckBox(QStringLiteral("議事録のTODOをAIエージェントへ自動依頼"));
    f->addRow(autoAgent_);
    connect(autoAgent_, &QCheckBox::toggled, model_, &AgentSettingsModel::setAutoAgent);

    picker_ = new QComboBox;
    for (AgentKind kind : agentkind::allCases)
        picker_->addItem(QString::fromStdString(agentkind::displayName(kind)),
                         QString::fromStdString(agentkind::rawValue(kind)));
    f->addRow(QStringLiteral("使用するエージェント"), picker_);
    connect(picker_, &QComboBox::activated, this,
            [this](int i) { model_->setAgentCmd(picker_->itemData(i).toString().toStdString()); });

    warning_ = settingsWarning(QStringLiteral(
        "⚠️ "
        "選択中のエージェントは未接続です。下の「接続する」からサインインしてください。"));
    f->addRow(warning_);
    f->addRow(settingsCaption(QStringLiteral(
        "議事録の作成が終わると、PC上で完結できるTODOをエージェントがバックグラウンドで実行し、"
        "TAVROデータフォルダのagent内に成果物とREPORT.mdを保存します。外部への送信・連絡・購入は"
        "行いません。")));
    f->addRow(settingsDivider(nullptr, kWideDividerPadding));
    f->addRow(settingsCaption(QStringLiteral("接続")));

    for (AgentKind kind : agentkind::allCases) {
        auto* row = new QWidget;
        auto* column = new QVBoxLayout(row);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(6);
        auto* line = new QHBoxLayout;
        line->setSpacing(10);
        line->addWidget(new BrandIcon(QString::fromStdString(agentkind::brandIcon(kind))));
        auto* names = new QVBoxLayout;
        names->setSpacing(1);
        names->addWidget(new QLabel(QString::fromStdString(agentkind::displayName(kind))));
        RowWidgets w{};
        // One line at most: an account or hint too long for the window is cut, not the tab
        // widened past it.
        w.subtitle = new ElidedLabel;
        asSettingsCaption(w.subtitle);
        names->addWidget(w.subtitle);
        line->addLayout(names, 1);
        w.spinner = settingsSpinner();
        w.cancel = settingsSmallButton(QStringLiteral("キャンセル"));
        w.connected = settingsCaption(QStringLiteral("接続済み ✓"));
        w.connected->setWordWrap(false);
        w.reconnect = settingsSmallButton(QStringLiteral("再接続"));
        w.connect = new QPushButton(QStringLiteral("接続する"));
        w.notInstalled = settingsCaption(QStringLiteral("未インストール"));
        w.notInstalled->setWordWrap(false);
        for (QWidget* c : std::initializer_list<QWidget*>{w.spinner, w.cancel, w.connected,
                                                          w.reconnect, w.connect, w.notInstalled})
            line->addWidget(c, 0, Qt::AlignVCenter);
        column->addLayout(line);

        w.codeRow = new QWidget;
        auto* codeLine = new QHBoxLayout(w.codeRow);
        codeLine->setContentsMargins(0, 0, 0, 0);
        w.code = new QLineEdit;
        w.code->setPlaceholderText(QStringLiteral("ブラウザに表示された認証コードを貼り付け"));
        w.submit = new QPushButton(QStringLiteral("確定"));
        codeLine->addWidget(w.code, 1);
        codeLine->addWidget(w.submit);
        column->addWidget(w.codeRow);
        f->addRow(row);

        connect(w.cancel, &QPushButton::clicked, model_, &AgentSettingsModel::cancelLogin);
        connect(w.reconnect, &QPushButton::clicked, this,
                [this, kind] { model_->startLogin(kind); });
        connect(w.connect, &QPushButton::clicked, this, [this, kind] { model_->startLogin(kind); });
        connect(w.code, &QLineEdit::textEdited, model_, &AgentSettingsModel::setPastedCode);
        connect(w.code, &QLineEdit::returnPressed, model_, &AgentSettingsModel::submitCode);
        connect(w.submit, &QPushButton::clicked, model_, &AgentSettingsModel::submitCode);
        rows_.emplace(kind, w);
    }
    message_ = settingsCaption(QString());
    f->addRow(message_);
}

void AgentSettings::follow() {
    const QSignalBlocker block(autoAgent_);
    autoAgent_->setChecked(model_->autoAgent());
    picker_->setEnabled(model_->autoAgent());
    // An unknown tool selects no entry.
    picker_->setCurrentIndex(picker_->findData(QString::fromStdString(model_->agentCmd())));
    warning_->setVisible(model_->showsWarning());

    using C = AgentSettingsModel::Row::Control;
    for (auto& [kind, w] : rows_) {
        const auto r = model_->row(kind);
        w.subtitle->setFullText(r.subtitle);
        w.spinner->setVisible(r.control == C::cancel);
        w.cancel->setVisible(r.control == C::cancel);
        w.connected->setVisible(r.control == C::reconnect);
        w.reconnect->setVisible(r.control == C::reconnect);
        w.connect->setVisible(r.control == C::connect);
        w.notInstalled->setVisible(r.control == C::notInstalled);
        w.codeRow->setVisible(r.codeField);
        if (w.code->text() != model_->pastedCode()) w.code->setText(model_->pastedCode());
        w.submit->setEnabled(model_->canSubmitCode());
    }
    message_->setVisible(model_->message().has_value());
    message_->setText(model_->message().value_or(QString()));
}
