#include "ui/main/sidebar/BulkBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "desktop/PanelStyle.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/Motion.h"
#include "ui/main/sidebar/ColorSwatchGrid.h"
#include "ui/main/sidebar/SidebarButton.h"
#include "ui/main/sidebar/SidebarMenu.h"
#include "ui/main/sidebar/SidebarModel.h"
#include "ui/main/sidebar/SidebarSymbols.h"

namespace {

constexpr qreal kCallout = 12;

class CheckBadge : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        SidebarSymbols::paint(p, QStringLiteral("checkmark.circle.fill"), QRectF(rect()),
                              motion::accent(this));
    }
};

}  // namespace

BulkBar::BulkBar(SidebarModel& sidebar, QWidget* parent)
    : QWidget(parent),
      sidebar_(sidebar),
      count_(new QLabel),
      toggle_(new SidebarButton(QString(), QString(), SidebarButton::Style::link, kCallout)),
      clear_(new SidebarButton(QString(), QStringLiteral("解除"), SidebarButton::Style::link,
                               kCallout)),
      grid_(new ColorSwatchGrid(std::nullopt, 7, 6)),
      menu_(new SidebarButton(QStringLiteral("slider.horizontal.3"),
                              QStringLiteral("選択した議事録を操作"),
                              SidebarButton::Style::borderless, kCallout)),
      counter_(new QVariantAnimation(this)) {
    setFont(PanelStyle::font(kCallout));
    count_->setFont(PanelStyle::font(kCallout, QFont::DemiBold));
    clear_->setToolTip(QStringLiteral("選択をすべて外します"));
    menu_->setToolTip(QStringLiteral("選択中の議事録をまとめて整理します"));
    menu_->setMenuIndicator(true);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    auto* badge = new CheckBadge;
    badge->setFixedSize(15, 15);
    header->addWidget(badge);
    header->addWidget(count_);
    header->addStretch(1);
    header->addWidget(toggle_);
    header->addWidget(clear_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    column->addLayout(header);
    column->addWidget(grid_);
    column->addWidget(menu_, 0, Qt::AlignLeft);

    counter_->setDuration(200);
    counter_->setEasingCurve(QEasingCurve::OutQuad);
    connect(counter_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { count_->setText(SidebarModel::countText(v.toInt())); });

    MainViewModel& browser = sidebar_.browser();
    connect(toggle_, &QAbstractButton::clicked, this, [&browser] { browser.toggleSelectAll(); });
    connect(clear_, &QAbstractButton::clicked, this, [this] { sidebar_.clearBulk(); });
    connect(grid_, &ColorSwatchGrid::picked, this,
            [this](const std::optional<std::string>& id) { sidebar_.colorBulk(id); });
    connect(menu_, &QAbstractButton::clicked, this, [this] {
        SidebarMenu::exec(sidebar_.bulkMenu(), menu_->mapToGlobal(QPoint(0, menu_->height())),
                          this);
    });
    follow();
}

void BulkBar::follow() {
    const int count = static_cast<int>(sidebar_.browser().bulkSelection().size());
    if (count != shownCount_) {
        counter_->stop();
        if (shownCount_ < 0 || PanelStyle::reduceMotion() || !isVisible()) {
            count_->setText(sidebar_.bulkCountText());
        } else {
            counter_->setStartValue(shownCount_);
            counter_->setEndValue(count);
            counter_->start();
        }
        shownCount_ = count;
    }
    toggle_->setText(sidebar_.bulkToggleLabel());
    toggle_->updateGeometry();
    clear_->setVisible(sidebar_.showsBulkClear());
}

void BulkBar::paintEvent(QPaintEvent*) {
    // The bar's material: a light frosted grey with a hairline above.
    QPainter p(this);
    p.fillRect(rect(), QColor(246, 246, 248));
    QColor hair = palette().color(QPalette::WindowText);
    hair.setAlphaF(0.12f);
    p.fillRect(QRect(0, 0, width(), 1), hair);
}
