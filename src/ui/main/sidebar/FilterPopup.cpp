#include "ui/main/sidebar/FilterPopup.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "ui/main/MainViewModel.h"
#include "ui/main/sidebar/SidebarModel.h"

namespace {

QDateTime toDateTime(Timestamp t) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}

// The picked day at the time of day the value had: the pickers show the date only.
Timestamp withDate(Timestamp old, QDate day) {
    const QDateTime kept(day, toDateTime(old).time());
    return Timestamp(std::chrono::milliseconds(kept.toMSecsSinceEpoch()));
}

QFrame* line() {
    auto* l = new QFrame;
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Plain);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 0, 30));
    l->setPalette(pal);
    return l;
}

}  // namespace

FilterPopup::FilterPopup(SidebarModel& sidebar, QWidget* parent)
    : QFrame(parent, Qt::Popup),
      sidebar_(sidebar),
      model_(sidebar.browser()),
      participant_(new QLineEdit),
      range_(new QCheckBox(QStringLiteral("期間を指定"))),
      dates_(new QWidget),
      start_(new QDateEdit),
      end_(new QDateEdit) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::StyledPanel);
    setFont(PanelStyle::font(13));
    participant_->setPlaceholderText(QStringLiteral("参加者"));
    participant_->setClearButtonEnabled(true);
    for (QDateEdit* d : {start_, end_}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    }
    auto* form = new QFormLayout(dates_);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("開始"), start_);
    form->addRow(QStringLiteral("終了"), end_);
    auto* clear = new QPushButton(QStringLiteral("検索条件をクリア"));
    clear->setFlat(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(8);
    column->addWidget(participant_);
    column->addWidget(range_);
    column->addWidget(dates_);
    column->addWidget(line());
    column->addWidget(clear, 0, Qt::AlignLeft);
    setMinimumWidth(240);
    // The popup opens to name a participant: what is typed at once goes into that field.
    participant_->setFocus(Qt::PopupFocusReason);

    connect(participant_, &QLineEdit::textEdited, this,
            [this](const QString& t) { model_.setParticipant(t.toStdString()); });
    connect(range_, &QCheckBox::toggled, this, [this](bool on) { model_.setUseDateRange(on); });
    connect(start_, &QDateEdit::dateChanged, this,
            [this](QDate d) { model_.setStartDate(withDate(model_.startDate(), d)); });
    connect(end_, &QDateEdit::dateChanged, this,
            [this](QDate d) { model_.setEndDate(withDate(model_.endDate(), d)); });
    connect(clear, &QPushButton::clicked, this, [this] { sidebar_.clearSearchConditions(); });
    connect(&model_, &MainViewModel::filtersChanged, this, &FilterPopup::follow);
    follow();
}

void FilterPopup::follow() {
    const QSignalBlocker a(participant_), b(range_), c(start_), d(end_);
    const QString who = QString::fromStdString(model_.participant());
    if (participant_->text() != who) participant_->setText(who);
    range_->setChecked(model_.useDateRange());
    dates_->setVisible(model_.useDateRange());
    start_->setDate(toDateTime(model_.startDate()).date());
    end_->setDate(toDateTime(model_.endDate()).date());
    adjustSize();
}
