#include "ui/settings/IntegrationSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "ui/UiContext.h"
#include "ui/settings/BrandIcon.h"
#include "ui/settings/IntegrationSettingsModel.h"
#include "ui/settings/SettingsCaption.h"
#include "ui/settings/SettingsDivider.h"
#include "ui/settings/SettingsParts.h"

namespace {

using Model = IntegrationSettingsModel;

QWidget* hstack(const std::vector<QWidget*>& items, int spacing = 8) {
    // Short lines: wrapping would squeeze them to their narrowest.
    for (QWidget* w : items)
        if (auto* label = qobject_cast<QLabel*>(w)) label->setWordWrap(false);
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(spacing);
    for (QWidget* w : items) line->addWidget(w, 0, Qt::AlignVCenter);
    line->addStretch(1);
    return row;
}

}  // namespace

IntegrationSettings::IntegrationSettings(UiContext& ctx, QWidget* parent)
    : IntegrationSettings(ctx, new IntegrationSettingsModel(ctx.defaults), parent) {}

IntegrationSettings::IntegrationSettings(UiContext&, IntegrationSettingsModel* model,
                                         QWidget* parent)
    : SettingsForm(parent), model_(model) {
    model_->setParent(this);
    build();
    connect(model_, &IntegrationSettingsModel::changed, this, &IntegrationSettings::follow);
    connect(this, &SettingsForm::tabShown, model_, &IntegrationSettingsModel::tabShown);
    connect(this, &SettingsForm::tabLeft, model_, &IntegrationSettingsModel::tabLeft);
    follow();
}

void IntegrationSettings::build() {
    SettingsFormLayout* f = form();
    autoShare_ =
        new QCheckBox(QStringLiteral("議事録の完成後、接続済みの宛先へ自動送信(PDF/Word添付)"));
    connect(autoShare_, &QCheckBox::toggled, this,
            [this](bool on) { model_->setFlag("autoShare", on); });
    f->addRow(autoShare_);
    f->addRow(
        settingsCaption(QStringLiteral("オフにするとライブラリからの手動送信のみになります。")));
    f->addRow(settingsDivider(nullptr, kWideDividerPadding));
    f->addRow(providerRow("notion"));
    f->addRow(pageArea());
    f->addRow(settingsDivider(nullptr, kWideDividerPadding));
    f->addRow(providerRow("slack"));
    auto* again = settingsSmallButton(QStringLiteral("再接続する"));
    connect(again, &QPushButton::clicked, this, [this] { model_->connectProvider("slack"); });
    slackNotice_ = hstack(
        {settingsWarning(QStringLiteral("PDF/Word添付を有効にするには接続し直してください。")),
         again});
    f->addRow(slackNotice_);
    f->addRow(settingsDivider(nullptr, kWideDividerPadding));
    f->addRow(providerRow("discord"));
    f->addRow(settingsDivider(nullptr, kWideDividerPadding));

    auto text = [this](std::string key) { return [this, key] { return model_->text(key); }; };
    auto setText = [this](std::string key) {
        return [this, key](const QString& v) { model_->setText(key, v); };
    };
    auto secret = [this](Model::Secret s) { return [this, s] { return model_->secret(s); }; };
    auto editSecret = [this](Model::Secret s) {
        return [this, s](const QString& v) { model_->editSecret(s, v); };
    };

    hubspotType_ = new QComboBox;
    for (const auto& [label, value] :
         {std::pair{"Contact", "contact"}, {"Company", "company"}, {"Deal", "deal"}})
        hubspotType_->addItem(QString::fromLatin1(label), QString::fromLatin1(value));
    connect(hubspotType_, &QComboBox::activated, this, [this](int i) {
        model_->setText("hubspotObjectType", hubspotType_->itemData(i).toString());
    });
    auto* typeRow = hstack({new QLabel(QStringLiteral("関連先")), hubspotType_});
    f->addRow(
        group(QStringLiteral("HubSpot CRM — Note"),
              {field(QStringLiteral("Private App Access Token"), true,
                     secret(Model::Secret::hubspotToken), editSecret(Model::Secret::hubspotToken)),
               typeRow,
               field(QStringLiteral("関連先のRecord ID"), false, text("hubspotObjectId"),
                     setText("hubspotObjectId"))},
              settingsCaption(QString())));
    readiness_.back().second = int(Model::Group::hubspot);

    f->addRow(group(QStringLiteral("Salesforce CRM — Task"),
                    {field(QStringLiteral("Instance URL (https://….my.salesforce.com)"), false,
                           text("salesforceInstanceUrl"), setText("salesforceInstanceUrl")),
                     field(QStringLiteral("OAuth Access Token"), true,
                           secret(Model::Secret::salesforceAccessToken),
                           editSecret(Model::Secret::salesforceAccessToken)),
                     field(QStringLiteral("WhoId (Contact/Lead・任意)"), false,
                           text("salesforceWhoId"), setText("salesforceWhoId")),
                     field(QStringLiteral("WhatId (Account/Opportunity・任意)"), false,
                           text("salesforceWhatId"), setText("salesforceWhatId"))},
                    settingsCaption(QString())));
    readiness_.back().second = int(Model::Group::salesforce);

    zapierTranscript_ = new QCheckBox(QStringLiteral("文字起こし全文も送信する"));
    connect(zapierTranscript_, &QCheckBox::toggled, this,
            [this](bool on) { model_->setFlag("zapierIncludeTranscript", on); });
    f->addRow(group(
        QStringLiteral("Zapier — Webhook"),
        {field(QStringLiteral("HTTPS Webhook URL"), false, text("zapierWebhook"),
               setText("zapierWebhook")),
         field(QStringLiteral("HMAC署名シークレット"), true,
               secret(Model::Secret::zapierSigningSecret),
               editSecret(Model::Secret::zapierSigningSecret)),
         zapierTranscript_,
         settingsCaption(QStringLiteral("オフの場合は要約・決定事項・アクションだけを送信します。"
                                        "機密会議ではオフを推奨します。")),
         settingsCaption(
             QStringLiteral("X-TAVRO-Signature (HMAC-SHA256)、Timestamp、Idempotency-Key"
                            "を付与し、一時障害時は最大3回再試行します。"))},
        settingsCaption(QString())));
    readiness_.back().second = int(Model::Group::zapier);
    f->addRow(settingsDivider(nullptr, kWideDividerPadding));

    QWidget* manual =
        group(QStringLiteral("手動設定(上級者向け)"),
              {field(QStringLiteral("Notion Integration Token (ntn_…)"), true, text("notionToken"),
                     [this](const QString& v) { model_->setManualNotionToken(v); }),
               field(QStringLiteral("Notion 保存先ページID (URL末尾の32桁)"), false,
                     text("notionParentId"), setText("notionParentId")),
               field(QStringLiteral("Slack Incoming Webhook URL"), true, text("slackWebhook"),
                     setText("slackWebhook")),
               field(QStringLiteral("Discord Webhook URL"), true, text("discordWebhook"),
                     setText("discordWebhook"))},
              nullptr);
    for (QWidget* w : manual->findChildren<QWidget*>()) w->setFont(PanelStyle::font(11));
    f->addRow(manual);
    f->addRow(settingsCaption(
        QStringLiteral("接続情報はこのパソコンにのみ保存され、送信時だけ使われます。")));
}

QWidget* IntegrationSettings::providerRow(const std::string& id) {
    const auto p = model_->provider(id);
    auto* names = new QWidget;
    auto* column = new QVBoxLayout(names);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    auto* name = new QLabel(p.name);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    column->addWidget(name);
    ProviderWidgets w{settingsCaption(QString()), settingsSmallButton(QString()),
                      settingsTint(settingsCaption(QString()), PanelStyle::red())};
    column->addWidget(w.status);
    w.problem->hide();
    column->addWidget(w.problem);
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    line->addWidget(new BrandIcon(p.icon), 0, Qt::AlignVCenter);
    line->addWidget(names, 1);
    line->addWidget(w.button, 0, Qt::AlignVCenter);
    connect(w.button, &QPushButton::clicked, this, [this, id] {
        if (model_->provider(id).connected)
            model_->disconnectProvider(id);
        else
            model_->connectProvider(id);
    });
    providers_.emplace(id, w);
    return row;
}

QWidget* IntegrationSettings::pageArea() {
    pageArea_ = new QWidget;
    auto* column = new QVBoxLayout(pageArea_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    auto* change = settingsSmallButton(QStringLiteral("変更する"));
    connect(change, &QPushButton::clicked, model_, &IntegrationSettingsModel::changePage);
    chosenRow_ = hstack({settingsCaption(QStringLiteral("保存先ページ設定済み")), change});
    column->addWidget(chosenRow_);

    chooseArea_ = new QWidget;
    auto* choose = new QVBoxLayout(chooseArea_);
    choose->setContentsMargins(0, 0, 0, 0);
    choose->setSpacing(6);
    auto* heading = new QLabel(QStringLiteral("議事録の保存先ページを選択:"));
    heading->setFont(PanelStyle::font(11));
    pageSpinner_ = settingsSpinner();
    choose->addWidget(hstack({heading, pageSpinner_}));
    pageError_ = new QLabel;
    pageError_->setFont(PanelStyle::font(11));
    settingsTint(pageError_, PanelStyle::red());
    auto* reload = settingsSmallButton(QStringLiteral("再読み込み"));
    connect(reload, &QPushButton::clicked, model_, &IntegrationSettingsModel::reloadPages);
    pageErrorRow_ = hstack({pageError_, reload});
    choose->addWidget(pageErrorRow_);
    pagePicker_ = new QComboBox;
    pagePicker_->setMinimumWidth(220);
    connect(pagePicker_, &QComboBox::activated, this,
            [this](int i) { model_->choosePage(pagePicker_->itemData(i).toString()); });
    pickerRow_ = hstack({new QLabel(QStringLiteral("保存先ページ")), pagePicker_});
    choose->addWidget(pickerRow_);
    noPages_ = settingsCaption(QStringLiteral(
        "選択可能なページがありません。接続時にページへのアクセスを許可してください。"));
    choose->addWidget(noPages_);
    column->addWidget(chooseArea_);
    return pageArea_;
}

QWidget* IntegrationSettings::group(const QString& title, const std::vector<QWidget*>& rows,
                                    QLabel* readiness) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* header = new QToolButton;
    header->setText(title);
    header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header->setArrowType(Qt::RightArrow);
    header->setAutoRaise(true);
    column->addWidget(header);
    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 6, 0, 0);
    stack->setSpacing(8);
    for (QWidget* w : rows) stack->addWidget(w);
    if (readiness) {
        stack->addWidget(readiness);
        readiness_.emplace_back(readiness, 0);
    }
    content->hide();  // collapsed at first
    column->addWidget(content);
    auto open = [header, content](bool on) {
        header->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
        content->setVisible(on);
    };
    connect(header, &QToolButton::clicked, content, [content, open] { open(content->isHidden()); });
    disclosures_.push_back(open);
    return box;
}

QLineEdit* IntegrationSettings::field(const QString& placeholder, bool secret,
                                      std::function<QString()> value,
                                      std::function<void(const QString&)> edit) {
    auto* line = new QLineEdit;
    line->setPlaceholderText(placeholder);
    if (secret) line->setEchoMode(QLineEdit::Password);
    // Only the user's typing writes; showing a stored value does not.
    connect(line, &QLineEdit::textEdited, this, std::move(edit));
    bound_.push_back({line, std::move(value)});
    return line;
}

void IntegrationSettings::expandAll() {
    for (auto& open : disclosures_) open(true);
}

void IntegrationSettings::follow() {
    {
        const QSignalBlocker a(autoShare_), b(zapierTranscript_);
        autoShare_->setChecked(model_->flag("autoShare"));
        zapierTranscript_->setChecked(model_->flag("zapierIncludeTranscript"));
    }
    hubspotType_->setCurrentIndex(hubspotType_->findData(model_->hubspotObjectType()));
    for (auto& [id, w] : providers_) {
        const auto p = model_->provider(id);
        w.status->setText(p.status);
        w.button->setText(p.button);
        w.problem->setText(p.problem);
        w.problem->setVisible(!p.problem.isEmpty());
    }
    slackNotice_->setVisible(model_->slackNeedsReconnect());

    using P = IntegrationSettingsModel::Picker;
    const P state = model_->picker();
    pageArea_->setVisible(state != P::hidden);
    chosenRow_->setVisible(state == P::chosen);
    chooseArea_->setVisible(state != P::hidden && state != P::chosen);
    pageSpinner_->setVisible(state == P::loading);
    pageErrorRow_->setVisible(state == P::error);
    pageError_->setText(model_->pagesError().value_or(QString()));
    pickerRow_->setVisible(state == P::list);
    noPages_->setVisible(state == P::empty);
    {
        const QSignalBlocker block(pagePicker_);
        pagePicker_->clear();
        pagePicker_->addItem(QStringLiteral("選択してください"), QString());
        if (model_->pages())
            for (const auto& page : *model_->pages())
                pagePicker_->addItem(QString::fromStdString(page.title),
                                     QString::fromStdString(page.id));
        pagePicker_->setCurrentIndex(0);
    }

    for (auto& [label, g] : readiness_) {
        label->setText(model_->readiness(Model::Group(g)));
        settingsTint(label, model_->saveFailed(Model::Group(g)) ? PanelStyle::red()
                                                                : PanelStyle::secondary(label));
    }
    for (auto& b : bound_)
        if (const QString v = b.value(); b.field->text() != v) b.field->setText(v);
}
