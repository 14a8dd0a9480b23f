#include "ui/settings/GeneralSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "library/MinutesStore.h"
#include "platform/LoginItem.h"
#include "ui/UiContext.h"
#include "ui/settings/GeneralSettingsModel.h"
#include "ui/settings/SettingsCaption.h"
#include "ui/settings/SettingsDivider.h"
#include "ui/settings/SettingsParts.h"

namespace {

// A titled control on one line: the title, then the control.
QWidget* titled(const QString& title, QWidget* control) {
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(new QLabel(title));
    line->addWidget(control, 1);
    return row;
}

}  // namespace

GeneralSettings::GeneralSettings(UiContext& ctx, QWidget* parent)
    : SettingsScroll(parent),
      ctx_(ctx),
      model_(new GeneralSettingsModel(ctx.defaults, ctx.dialogs, LoginItem::standard(),
                                      ctx.store.baseDir(), this)),
      templatePicker_(new QComboBox),
      importButton_(new QPushButton),
      message_(settingsCaption(QString())),
      customRows_(new QWidget),
      customRowsLayout_(new QVBoxLayout(customRows_)),
      modifierPicker_(new QComboBox),
      intervalSlider_(new QSlider(Qt::Horizontal)),
      intervalCaption_(settingsCaption(QString())),
      launchAtLogin_(new QCheckBox(QStringLiteral("ログイン時に自動起動"))),
      dataFolderButton_(new QPushButton(QStringLiteral("TAVROデータフォルダを開く"))),
      folderProblem_(settingsCaption(QString())) {
    customRowsLayout_->setContentsMargins(0, 0, 0, 0);
    customRowsLayout_->setSpacing(6);

    rows()->addWidget(titled(QStringLiteral("デフォルトテンプレート"), templatePicker_));
    addRow(importButton_);
    rows()->addWidget(settingsCaption(QStringLiteral(
        "いつも使っている議事録(.docx / .pdf / .md / .txt)を読み込むと、その構成・見出し・文体を"
        "再現するテンプレートが作られ、毎回その形式で出力されます。")));
    rows()->addWidget(message_);
    rows()->addWidget(customRows_);
    rows()->addWidget(settingsDivider());

    for (const auto& o : GeneralSettingsModel::modifierOptions())
        modifierPicker_->addItem(o.label, QString::fromStdString(o.id));
    QWidget* hotkeyRow = titled(QStringLiteral("録音ホットキー"), modifierPicker_);
    hotkeyRow->setToolTip(QStringLiteral("選んだ修飾キーを素早く2回押すと録音を開始/停止します"));
    rows()->addWidget(hotkeyRow);

    intervalSlider_->setRange(0, GeneralSettingsModel::kIntervalSteps);
    intervalSlider_->setSingleStep(1);
    intervalSlider_->setPageStep(1);
    auto* interval = new QWidget;
    auto* intervalColumn = new QVBoxLayout(interval);
    intervalColumn->setContentsMargins(0, 0, 0, 0);
    intervalColumn->addWidget(titled(QStringLiteral("2回押しの判定間隔"), intervalSlider_));
    intervalColumn->addWidget(intervalCaption_);
    rows()->addWidget(interval);
    rows()->addWidget(settingsDivider());

    addRow(launchAtLogin_);
    auto* folderRow = new QWidget;
    auto* folderLine = new QHBoxLayout(folderRow);
    folderLine->setContentsMargins(0, 0, 0, 0);
    folderLine->addWidget(new QLabel(QStringLiteral("保存先")));
    folderLine->addStretch(1);
    folderLine->addWidget(dataFolderButton_);
    rows()->addWidget(folderRow);
    settingsTint(folderProblem_, PanelStyle::red());
    folderProblem_->hide();
    rows()->addWidget(folderProblem_);

    connect(templatePicker_, &QComboBox::activated, this, [this](int i) {
        model_->setTemplateId(templatePicker_->itemData(i).toString().toStdString());
    });
    connect(importButton_, &QPushButton::clicked, model_,
            &GeneralSettingsModel::importTemplateFile);
    connect(modifierPicker_, &QComboBox::activated, this, [this](int i) {
        model_->setHotkeyModifier(modifierPicker_->itemData(i).toString().toStdString());
    });
    connect(intervalSlider_, &QSlider::valueChanged, model_,
            &GeneralSettingsModel::setIntervalStep);
    connect(launchAtLogin_, &QCheckBox::toggled, model_, &GeneralSettingsModel::setLaunchAtLogin);
    connect(dataFolderButton_, &QPushButton::clicked, model_,
            &GeneralSettingsModel::openDataFolder);

    connect(model_, &GeneralSettingsModel::templatesChanged, this, &GeneralSettings::showTemplates);
    connect(model_, &GeneralSettingsModel::importChanged, this, &GeneralSettings::showImport);
    connect(model_, &GeneralSettingsModel::hotkeyChanged, this, &GeneralSettings::showHotkey);
    connect(model_, &GeneralSettingsModel::launchAtLoginChanged, this, [this] {
        const QSignalBlocker quiet(launchAtLogin_);
        launchAtLogin_->setChecked(model_->launchAtLogin());
    });
    connect(model_, &GeneralSettingsModel::folderProblemChanged, this, [this] {
        folderProblem_->setText(model_->folderProblem());
        folderProblem_->setVisible(!model_->folderProblem().isEmpty());
    });
    launchAtLogin_->setChecked(model_->launchAtLogin());
    showTemplates();
    showImport();
    showHotkey();
}

QList<QPushButton*> GeneralSettings::deleteButtons() const {
    return customRows_->findChildren<QPushButton*>();
}

void GeneralSettings::showTemplates() {
    {
        const QSignalBlocker quiet(templatePicker_);
        templatePicker_->clear();
        const QString current = QString::fromStdString(model_->templateId());
        for (const auto& o : model_->templateOptions()) {
            templatePicker_->addItem(o.label, QString::fromStdString(o.id));
            if (o.id == model_->templateId())
                templatePicker_->setCurrentIndex(templatePicker_->count() - 1);
        }
        if (templatePicker_->findData(current) < 0) templatePicker_->setCurrentIndex(-1);
    }
    while (QLayoutItem* item = customRowsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const CustomTemplate& t : model_->customTemplates()) {
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        QLabel* text = UserText::plainLabel(GeneralSettingsModel::rowText(t));
        text->setFont(PanelStyle::font(10));
        text->setWordWrap(true);
        line->addWidget(text, 1);
        auto* remove = new QPushButton(QStringLiteral("削除"));
        remove->setFont(PanelStyle::font(10));
        line->addWidget(remove, 0, Qt::AlignTop);
        connect(remove, &QPushButton::clicked, this,
                [this, id = t.id] { model_->deleteTemplate(id); });
        customRowsLayout_->addWidget(row);
    }
    customRows_->setVisible(!model_->customTemplates().empty());
}

void GeneralSettings::showImport() {
    importButton_->setText(model_->importLabel());
    importButton_->setEnabled(!model_->importing());
    message_->setText(model_->message().value_or(QString()));
    message_->setVisible(model_->message().has_value());
}

void GeneralSettings::showHotkey() {
    {
        const QSignalBlocker quiet(modifierPicker_);
        modifierPicker_->setCurrentIndex(
            modifierPicker_->findData(QString::fromStdString(model_->hotkeyModifier())));
    }
    {
        const QSignalBlocker quiet(intervalSlider_);
        intervalSlider_->setValue(model_->intervalStep());
    }
    intervalCaption_->setText(model_->intervalCaption());
}
