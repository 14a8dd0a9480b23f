#include "ui/settings/SettingsView.h"

#include <QPalette>
#include <QTabWidget>
#include <QVBoxLayout>

#include "desktop/Symbols.h"
#include "ui/UiContext.h"
#include "ui/settings/AccountSettings.h"
#include "ui/settings/AgentSettings.h"
#include "ui/settings/GeneralSettings.h"
#include "ui/settings/GeneralSettingsModel.h"
#include "ui/settings/IntegrationSettings.h"
#include "ui/settings/PrivacySettings.h"
#include "ui/settings/RecordingSettings.h"

const SettingsView::Tab SettingsView::kTabs[6] = {
    {"一般", "gearshape"},          {"録音", "mic"},  {"プライバシー", "eye.slash"},
    {"AIエージェント", "sparkles"}, {"連携", "link"}, {"アカウント", "person.circle"},
};

SettingsView::SettingsView(UiContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx), tabs_(new QTabWidget(this)), general_(new GeneralSettings(ctx)) {
    QFont f = font();
    f.setFamily(QStringLiteral("Noto Sans CJK JP"));  // Han glyphs in their Japanese shapes
    setFont(f);
    setFixedSize(kSize);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(tabs_);
    tabs_->setDocumentMode(false);

    const QColor ink = palette().color(QPalette::WindowText);
    QWidget* const pages[6] = {
        general_,
        new RecordingSettings(ctx),
        new PrivacySettings(ctx),
        new AgentSettings(ctx),
        new IntegrationSettings(ctx),
        new AccountSettings(ctx),
    };
    for (int i = 0; i < 6; ++i) {
        tabs_->addTab(pages[i], Symbols::icon(QString::fromUtf8(kTabs[i].symbol), ink),
                      QString::fromUtf8(kTabs[i].label));
    }
    tabs_->setCurrentIndex(0);
    setWindowTitle(tabs_->tabText(0));
    connect(tabs_, &QTabWidget::currentChanged, this,
            [this](int i) { setWindowTitle(tabs_->tabText(i)); });
}

void SettingsView::closeEvent(QCloseEvent* event) {
    general_->model().cancelImport();
    QWidget::closeEvent(event);
}
