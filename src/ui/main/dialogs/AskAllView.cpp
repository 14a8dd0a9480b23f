#include "ui/main/dialogs/AskAllView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/UserText.h"
#include "ui/main/dialogs/AskAllModel.h"
#include "ui/main/dialogs/DialogStyle.h"
#include "ui/main/dialogs/DialogSymbols.h"
#include "ui/main/dialogs/ElidedCheckBox.h"

using DialogStyle::Text;

AskAllView::AskAllView(AskAllModel* model, QWidget* parent)
    : QDialog(parent),
      model_(model),
      scope_(new QToolButton),
      scopeList_(new QScrollArea),
      question_(new QLineEdit),
      ask_(new QPushButton(QStringLiteral("質問する"))),
      notice_(DialogStyle::label(QStringLiteral("横断AI検索には設定画面からのログインが必要です。"),
                                 Text::body, true)),
      progress_(new QWidget),
      error_(DialogStyle::label(QString(), Text::body, true)),
      answer_(DialogStyle::label(QString(), Text::body, true)),
      answerArea_(new QScrollArea),
      referenceBox_(new QWidget),
      referenceLayout_(new QVBoxLayout(referenceBox_)) {
    model_->setParent(this);
    DialogStyle::makeSheet(*this, kSize);
    setWindowTitle(QStringLiteral("横断AI検索"));

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->setSpacing(16);

    QHBoxLayout* top = DialogStyle::titleBar(*this, QStringLiteral("横断AI検索"));
    auto* icon = new QLabel;
    icon->setPixmap(DialogSymbols::pixmap(QStringLiteral("sparkles"), 20,
                                          palette().color(QPalette::WindowText),
                                          devicePixelRatioF()));
    top->insertWidget(0, icon);
    stack->addLayout(top);

    stack->addWidget(DialogStyle::secondaryLabel(
        QStringLiteral("最大100件の議事録を横断し、文字起こしを根拠に回答します。"), Text::body));

    // The records to search, folded away until asked for.
    scope_->setCheckable(true);
    scope_->setChecked(false);
    scope_->setArrowType(Qt::RightArrow);
    scope_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    scope_->setAutoRaise(true);
    stack->addWidget(scope_);
    auto* scopeContent = new QWidget;
    auto* scopeLayout = new QVBoxLayout(scopeContent);
    scopeLayout->setContentsMargins(8, 4, 8, 4);
    scopeLayout->setSpacing(4);
    for (std::size_t i = 0; i < model_->toggleCount(); ++i) {
        const MinutesRecord& record = model_->records()[i];
        auto* toggle = new ElidedCheckBox(QString::fromStdString(record.result.title));
        connect(toggle, &ElidedCheckBox::toggled, this,
                [this, id = record.id](bool on) { model_->setSelected(id, on); });
        scopeLayout->addWidget(toggle);
        toggles_.push_back(toggle);
    }
    scopeLayout->addStretch(1);
    scopeList_->setWidget(scopeContent);
    scopeList_->setWidgetResizable(true);
    scopeList_->setMaximumHeight(120);
    // Long titles are cut, never scrolled to sideways.
    scopeList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scopeList_->setVisible(false);
    stack->addWidget(scopeList_);
    connect(scope_, &QToolButton::toggled, this, [this](bool open) {
        scope_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        scopeList_->setVisible(open);
    });

    auto* askRow = new QHBoxLayout;
    question_->setPlaceholderText(QStringLiteral("例: 今月決まった重要事項は？"));
    ask_->setAutoDefault(false);
    DialogStyle::makeProminent(ask_);
    askRow->addWidget(question_, 1);
    askRow->addWidget(ask_);
    stack->addLayout(askRow);

    DialogStyle::setColor(notice_, DialogStyle::orange());
    stack->addWidget(notice_);

    auto* progressLayout = new QHBoxLayout(progress_);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QProgressBar;
    bar->setRange(0, 0);
    bar->setFixedWidth(120);
    bar->setTextVisible(false);
    progressLayout->addWidget(bar);
    progressLayout->addWidget(new QLabel(QStringLiteral("議事録を横断して確認中…")), 1);
    stack->addWidget(progress_);

    UserText::makePlain(error_);
    DialogStyle::setColor(error_, PanelStyle::red());
    stack->addWidget(error_);

    // The answer and its references, wrapped to the sheet's width: the content is never wider
    // than the area, so a long title or answer grows downwards only.
    answerArea_->setWidgetResizable(true);
    answerArea_->setFrameShape(QFrame::NoFrame);
    answerArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* answerContent = new QWidget;
    answerContent->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* answerLayout = new QVBoxLayout(answerContent);
    answerLayout->setContentsMargins(0, 0, 0, 0);
    answerLayout->setSpacing(12);
    answer_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    UserText::makePlain(answer_);
    answerLayout->addWidget(answer_);
    referenceLayout_->setContentsMargins(0, 0, 0, 0);
    referenceLayout_->setSpacing(12);
    referenceLayout_->addWidget(DialogStyle::divider());
    referenceLayout_->addWidget(DialogStyle::label(QStringLiteral("根拠"), Text::headline));
    answerLayout->addWidget(referenceBox_);
    answerLayout->addStretch(1);
    answerArea_->setWidget(answerContent);
    stack->addWidget(answerArea_, 1);

    connect(question_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_->setQuestion(text.toStdString()); });
    connect(question_, &QLineEdit::returnPressed, model_, &AskAllModel::ask);
    connect(ask_, &QPushButton::clicked, model_, &AskAllModel::ask);
    connect(model_, &AskAllModel::changed, this, &AskAllView::follow);
    referenceBox_->setVisible(false);
    follow();
}

void AskAllView::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // The sheet is opened to ask: typing goes into the question at once, not to the first
    // button of the tab order.
    question_->setFocus(Qt::OtherFocusReason);
    model_->appeared();
}

void AskAllView::follow() {
    scope_->setText(model_->scopeTitle());
    for (std::size_t i = 0; i < toggles_.size(); ++i) {
        const bool on = model_->isSelected(model_->records()[i].id);
        if (toggles_[i]->isChecked() != on) toggles_[i]->setChecked(on);
    }
    const QString typed = QString::fromStdString(model_->question());
    if (question_->text() != typed) question_->setText(typed);
    ask_->setEnabled(model_->canAsk());
    notice_->setVisible(!model_->loggedIn());
    progress_->setVisible(model_->isLoading());
    error_->setVisible(model_->errorMessage().has_value());
    error_->setText(QString::fromStdString(model_->errorMessage().value_or(std::string())));
    answer_->setVisible(!model_->answer().empty());
    answer_->setText(QString::fromStdString(model_->answer()));
    rebuildReferences();
}

void AskAllView::rebuildReferences() {
    if (model_->references() == shownReferences_) return;
    shownReferences_ = model_->references();
    for (QLabel* link : links_) delete link;
    links_.clear();
    const QString style =
        QStringLiteral("color: %1; text-decoration: none").arg(DialogStyle::blue().name());
    for (const AskReference& ref : model_->references()) {
        // A link around the title as written: its "<b>" or "&" is text, and it wraps.
        auto* link =
            DialogStyle::label(QStringLiteral("<a href=\"%1\" style=\"%2\">%3</a>")
                                   .arg(QString::number(links_.size()), style,
                                        UserText::forRichText(QString::fromStdString(ref.label))),
                               Text::body, true);
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        link->setCursor(Qt::PointingHandCursor);
        connect(link, &QLabel::linkActivated, this,
                [this, id = QString::fromStdString(ref.recordID)] { emit recordChosen(id); });
        referenceLayout_->addWidget(link);
        links_.push_back(link);
    }
    referenceBox_->setVisible(!links_.empty());
}
