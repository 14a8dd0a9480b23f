#include "ui/main/dialogs/OnboardingView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "ui/main/dialogs/DialogStyle.h"
#include "ui/main/dialogs/DialogSymbols.h"
#include "ui/main/dialogs/OnboardingModel.h"

using DialogStyle::Text;

namespace {

QWidget* column(QLayout*& out) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    out = layout;
    return page;
}

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// Under a step's buttons: what they could not open.
QLabel* unopenedLine() {
    QLabel* label = centred(DialogStyle::label(QString(), Text::caption, true));
    DialogStyle::setColor(label, PanelStyle::red());
    label->hide();
    return label;
}

}  // namespace

OnboardingView::OnboardingView(OnboardingModel* model, QWidget* parent)
    : QDialog(parent),
      model_(model),
      symbol_(new QLabel),
      title_(centred(DialogStyle::label(QString(), Text::largeTitle))),
      pages_(new QStackedWidget),
      welcome_(centred(DialogStyle::label(QString(), Text::body, true))),
      soundText_(centred(DialogStyle::label(QString(), Text::body, true))),
      microphone_(new QPushButton(QStringLiteral("マイク設定を開く"))),
      back_(new QPushButton(QStringLiteral("戻る"))),
      primary_(new QPushButton) {
    model_->setParent(this);
    DialogStyle::makeSheet(*this, kSize);
    setWindowTitle(QStringLiteral("TAVRO"));

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(36, 36, 36, 36);
    stack->setSpacing(24);
    symbol_->setAlignment(Qt::AlignCenter);
    stack->addWidget(symbol_);
    stack->addWidget(title_);

    QLayout* layout = nullptr;
    pages_->addWidget(column(layout));
    layout->addWidget(welcome_);

    pages_->addWidget(column(layout));
    layout->addWidget(soundText_);
    microphone_->setAutoDefault(false);
    microphone_->setVisible(model_->canOpenSoundSettings());
    layout->addWidget(microphone_);
    layout->setAlignment(microphone_, Qt::AlignHCenter);
    layout->addWidget(problems_[1] = unopenedLine());

    pages_->addWidget(column(layout));
    for (const OnboardingModel::Connection& c : model_->connections()) {
        auto* row = new QFrame;
        row->setObjectName(QStringLiteral("connectionRow"));
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.05f);
        row->setStyleSheet(QStringLiteral("#connectionRow { background: %1; border-radius: 10px; }")
                               .arg(fill.name(QColor::HexArgb)));
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(12, 12, 12, 12);
        auto* mark = new QLabel;
        h->addWidget(mark);
        h->addWidget(new QLabel(c.name));
        h->addStretch(1);
        auto* button = new QPushButton;
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, model_,
                [model = model_, provider = c.provider] { model->connectService(provider); });
        h->addWidget(button);
        layout->addWidget(row);
        rows_.push_back({mark, button});
    }
    layout->addWidget(problems_[2] = unopenedLine());
    layout->addWidget(centred(DialogStyle::secondaryLabel(
        QStringLiteral("連携は後から設定画面でも変更できます。"), Text::caption)));
    stack->addWidget(pages_, 1);

    auto* nav = new QHBoxLayout;
    back_->setAutoDefault(false);
    primary_->setAutoDefault(false);
    DialogStyle::makeProminent(primary_);
    primary_->setDefault(true);
    nav->addWidget(back_);
    nav->addStretch(1);
    nav->addWidget(primary_);
    stack->addLayout(nav);

    connect(microphone_, &QPushButton::clicked, model_, &OnboardingModel::openSoundSettings);
    connect(back_, &QPushButton::clicked, model_, &OnboardingModel::back);
    connect(primary_, &QPushButton::clicked, model_, &OnboardingModel::next);
    connect(model_, &OnboardingModel::changed, this, &OnboardingView::follow);
    follow();
}

QLabel* OnboardingView::problemLabel() const {
    return problems_[model_->step()];
}

void OnboardingView::follow() {
    symbol_->setPixmap(
        DialogSymbols::pixmap(model_->symbol(), 54, DialogStyle::blue(), devicePixelRatioF()));
    title_->setText(model_->title());
    pages_->setCurrentIndex(model_->step());
    if (model_->step() == 0) welcome_->setText(model_->text());
    if (model_->step() == 1) soundText_->setText(model_->text());
    const auto connections = model_->connections();
    for (std::size_t i = 0; i < rows_.size() && i < connections.size(); ++i) {
        const bool on = connections[i].connected;
        rows_[i].mark->setPixmap(DialogSymbols::pixmap(
            on ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"), 18,
            on ? DialogStyle::green() : PanelStyle::secondary(this), devicePixelRatioF()));
        rows_[i].button->setText(on ? QStringLiteral("接続済み") : QStringLiteral("接続する"));
        rows_[i].button->setEnabled(!on);
    }
    for (int step = 0; step <= OnboardingModel::kLastStep; ++step) {
        if (!problems_[step]) continue;
        const bool shown = step == model_->step() && !model_->problem().isEmpty();
        problems_[step]->setText(shown ? model_->problem() : QString());
        problems_[step]->setVisible(shown);
    }
    back_->setVisible(model_->canGoBack());
    primary_->setText(model_->primaryTitle());
    primary_->setMinimumWidth(primary_->fontMetrics().horizontalAdvance(primary_->text()) + 36);
}
