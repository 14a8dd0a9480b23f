#include "ui/settings/RecordingSettings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "desktop/PanelStyle.h"
#include "desktop/Symbols.h"
#include "desktop/UserText.h"
#include "platform/CalendarApplication.h"
#include "platform/WindowCapture.h"
#include "ui/UiContext.h"
#include "ui/settings/RecordingSettingsModel.h"
#include "ui/settings/SettingsCaption.h"
#include "ui/settings/SettingsDivider.h"
#include "ui/settings/SettingsParts.h"

namespace {

constexpr qreal kCaption = 11;
constexpr qreal kCaption2 = 10;

// Calendar and meeting names come from invitations: shown as written, never as markup.
QLabel* text(const QString& s, qreal size, bool secondary = false,
             QFont::Weight weight = QFont::Normal) {
    QLabel* label = UserText::plainLabel(s);
    label->setFont(PanelStyle::font(size, weight));
    if (secondary) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, PanelStyle::secondary(label));
        label->setPalette(pal);
    }
    return label;
}

// One line at most: the rest is elided.
QLabel* oneLine(const QString& s, qreal size, int width) {
    QLabel* label = text(QString(), size);
    label->setText(label->fontMetrics().elidedText(s, Qt::ElideRight, width));
    // A tooltip that looks like markup is read as such: give it the text escaped, as rich text.
    label->setToolTip(QStringLiteral("<qt>%1</qt>").arg(UserText::forRichText(s)));
    return label;
}

// A symbol or a dot, drawn at a fixed size.
class Glyph : public QWidget {
public:
    Glyph(QString symbol, QColor color, int side) : symbol_(std::move(symbol)), color_(color) {
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (symbol_.isEmpty()) {
            p.setPen(Qt::NoPen);
            p.setBrush(color_);
            p.drawEllipse(rect());
        } else {
            Symbols::paint(p, symbol_, rect(), color_);
        }
    }

private:
    QString symbol_;
    QColor color_;
};

QPushButton* linkButton(const QString& s) {
    auto* b = new QPushButton(s);
    b->setFlat(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setFont(PanelStyle::font(kCaption));
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, pal.color(QPalette::Link));
    b->setPalette(pal);
    return b;
}

RecordingSettingsModel::CalendarApp desktopCalendarApp() {
    return {[] { return CalendarApplication::name().has_value(); },
            [] { return CalendarApplication::launch(); }};
}

}  // namespace

RecordingSettings::RecordingSettings(UiContext& ctx, QWidget* parent)
    : SettingsScroll(parent),
      model_(new RecordingSettingsModel(ctx.defaults, ctx.calendar, desktopCalendarApp(),
                                        &WindowCapture::displayAvailable, this)),
      systemAudio_(new QCheckBox(QStringLiteral("システム音声も録音(オンライン会議の相手の声)"))),
      participants_(new QCheckBox(
          QStringLiteral("オンライン会議の参加者を画面から検知(誰が話したか実名で分離)"))),
      pill_(new QCheckBox(QStringLiteral("録音中にフローティングレコーダーを表示"))),
      watch_(new QCheckBox(QStringLiteral("カレンダーの会議開始時に議事録の開始を提案"))),
      denied_(new QWidget),
      problem_(text(QString(), kCaption)),
      openCalendarApp_(new QPushButton(QStringLiteral("カレンダーアプリを開く"))),
      granted_(new QWidget),
      disclosure_(new QToolButton),
      content_(new QWidget),
      contentLayout_(new QVBoxLayout(content_)),
      vocabulary_(new QPlainTextEdit) {
    addRow(systemAudio_);
    rows()->addWidget(settingsCaption(QStringLiteral(
        "Zoom/Meet等でこのパソコンから聞こえる音をマイクとミックスして録音します。録音されるのは、"
        "サウンド設定で選ばれている出力デバイスの音です。")));
    addRow(participants_);
    rows()->addWidget(settingsCaption(model_->participantsCaption()));
    rows()->addWidget(settingsDivider());
    addRow(pill_);
    rows()->addWidget(settingsCaption(QStringLiteral(
        "録音中、画面右端に小さなレコーダー(経過時間・停止ボタン)を常に表示します。ドラッグで移動"
        "できます。")));
    rows()->addWidget(settingsDivider());
    addRow(watch_);
    rows()->addWidget(settingsCaption(QStringLiteral(
        "会議の開始時刻になると「議事録を開始しますか?」のプロンプトを画面に表示します。"
        "Googleカレンダーは、デスクトップのオンラインアカウント設定でGoogleを追加し「カレンダー」を"
        "オンにすると連携されます。")));

    auto* deniedLine = new QHBoxLayout(denied_);
    deniedLine->setContentsMargins(0, 0, 0, 0);
    deniedLine->setSpacing(8);
    problem_->setWordWrap(true);
    deniedLine->addWidget(problem_, 1);
    deniedLine->addWidget(openCalendarApp_, 0, Qt::AlignTop);
    rows()->addWidget(denied_);

    auto* grantedColumn = new QVBoxLayout(granted_);
    grantedColumn->setContentsMargins(0, 0, 0, 0);
    disclosure_->setText(QStringLiteral("対象カレンダーと今後7日間の予定"));
    disclosure_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    disclosure_->setArrowType(Qt::RightArrow);
    disclosure_->setCheckable(true);
    disclosure_->setAutoRaise(true);
    grantedColumn->addWidget(disclosure_);
    contentLayout_->setContentsMargins(0, 8, 0, 0);
    contentLayout_->setSpacing(8);
    content_->setVisible(false);
    grantedColumn->addWidget(content_);
    rows()->addWidget(granted_);
    rows()->addWidget(settingsDivider());

    rows()->addWidget(
        new QLabel(QStringLiteral("単語帳(専門用語・社名・人名の正しい表記を1行に1つ)")));
    QFont editorFont = PanelStyle::font(12);
    vocabulary_->setFont(editorFont);
    vocabulary_->setFixedHeight(80);
    vocabulary_->setPlainText(model_->vocabulary());
    rows()->addWidget(vocabulary_);
    rows()->addWidget(settingsCaption(QStringLiteral(
        "登録した表記が文字起こし・議事録で優先され、誤変換(例: 帯同→態度)を防ぎます。")));

    connect(systemAudio_, &QCheckBox::toggled, model_,
            &RecordingSettingsModel::setCaptureSystemAudio);
    connect(participants_, &QCheckBox::toggled, model_,
            &RecordingSettingsModel::setDetectParticipants);
    connect(pill_, &QCheckBox::toggled, model_, &RecordingSettingsModel::setShowFloatingPill);
    connect(watch_, &QCheckBox::toggled, model_, &RecordingSettingsModel::setCalendarWatch);
    connect(openCalendarApp_, &QPushButton::clicked, model_,
            &RecordingSettingsModel::openCalendarApp);
    connect(disclosure_, &QToolButton::toggled, this, [this](bool open) {
        disclosure_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        content_->setVisible(open);
    });
    connect(vocabulary_, &QPlainTextEdit::textChanged, this,
            [this] { model_->setVocabulary(vocabulary_->toPlainText()); });
    connect(model_, &RecordingSettingsModel::settingsChanged, this,
            &RecordingSettings::showSettings);
    connect(model_, &RecordingSettingsModel::calendarChanged, this,
            &RecordingSettings::scheduleCalendar);
    showSettings();
    showCalendar();
}

QList<QPushButton*> RecordingSettings::joinButtons() const {
    QList<QPushButton*> out;
    for (QPushButton* b : content_->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("参加")) out << b;
    return out;
}

void RecordingSettings::showSettings() {
    const std::pair<QCheckBox*, bool> toggles[] = {
        {systemAudio_, model_->captureSystemAudio()},
        {participants_, model_->detectParticipants()},
        {pill_, model_->showFloatingPill()},
        {watch_, model_->calendarWatch()},
    };
    for (const auto& [box, on] : toggles) {
        const QSignalBlocker quiet(box);
        box->setChecked(on);
    }
    participants_->setEnabled(model_->detectParticipantsEnabled());
    if (vocabulary_->toPlainText() != model_->vocabulary()) {
        const QSignalBlocker quiet(vocabulary_);
        vocabulary_->setPlainText(model_->vocabulary());
    }
    scheduleCalendar();
}

void RecordingSettings::scheduleCalendar() {
    showAccess();
    // The rows later, never inside the handler of a control that the rebuild deletes.
    if (calendarPending_) return;
    calendarPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            calendarPending_ = false;
            showCalendar();
        },
        Qt::QueuedConnection);
}

void RecordingSettings::showAccess() {
    using Block = RecordingSettingsModel::CalendarBlock;
    const Block block = model_->calendarBlock();
    denied_->setVisible(block == Block::denied || block == Block::unavailable);
    problem_->setText(model_->calendarProblem());
    // A refusal is the user's to undo; a missing service is only explained.
    settingsTint(problem_,
                 block == Block::denied ? PanelStyle::red() : PanelStyle::secondary(this));
    openCalendarApp_->setVisible(block == Block::denied && model_->canOpenCalendarApp());
    granted_->setVisible(block == Block::granted);
}

void RecordingSettings::showCalendar() {
    showAccess();
    while (QLayoutItem* item = contentLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const int width = 400;
    auto* header = new QWidget;
    auto* headerLine = new QHBoxLayout(header);
    headerLine->setContentsMargins(0, 0, 0, 0);
    headerLine->addWidget(
        text(QStringLiteral("監視するカレンダー"), kCaption, false, QFont::DemiBold));
    headerLine->addStretch(1);
    QPushButton* all = linkButton(QStringLiteral("すべて選択"));
    QPushButton* refresh = linkButton(QStringLiteral("更新"));
    headerLine->addWidget(all);
    headerLine->addWidget(refresh);
    connect(all, &QPushButton::clicked, model_, &RecordingSettingsModel::selectAllCalendars);
    connect(refresh, &QPushButton::clicked, model_, &RecordingSettingsModel::refresh);
    contentLayout_->addWidget(header);

    for (const auto& c : model_->calendars()) {
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(6);
        auto* box = new QCheckBox;
        box->setChecked(c.selected);
        connect(box, &QCheckBox::toggled, model_,
                [this, id = c.id](bool on) { model_->setCalendar(id, on); });
        line->addWidget(box);
        line->addWidget(new Glyph(
            QString(),
            c.colored ? palette().color(QPalette::Highlight) : PanelStyle::secondary(this), 8));
        line->addWidget(oneLine(c.title, kCaption + 1, 260));
        line->addWidget(text(c.source, kCaption2, true));
        line->addStretch(1);
        contentLayout_->addWidget(row);
    }
    contentLayout_->addWidget(settingsDivider());
    contentLayout_->addWidget(text(model_->meetingsHeader(), kCaption, false, QFont::DemiBold));
    if (!model_->emptyText().isEmpty())
        contentLayout_->addWidget(text(model_->emptyText(), kCaption, true));
    const auto meetings = model_->meetingRows();
    for (std::size_t i = 0; i < meetings.size(); ++i) {
        const auto& m = meetings[i];
        auto* row = new QWidget;
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);
        line->addWidget(
            m.hasLink ? new Glyph(QStringLiteral("video"), QColor(0, 122, 255), 14)
                      : new Glyph(QStringLiteral("calendar"), PanelStyle::secondary(this), 14),
            0, Qt::AlignTop);
        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        column->addWidget(oneLine(m.title, kCaption, width - 80));
        column->addWidget(text(m.when, kCaption2, true));
        if (!m.provider.isEmpty()) column->addWidget(text(m.provider, kCaption2, true));
        if (!m.problem.isEmpty())
            column->addWidget(settingsTint(settingsCaption(m.problem), PanelStyle::red()));
        line->addLayout(column, 1);
        if (m.canJoin) {
            auto* join = new QPushButton(QStringLiteral("参加"));
            join->setDefault(true);
            join->setFont(PanelStyle::font(kCaption));
            connect(join, &QPushButton::clicked, model_, [this, i] { model_->join(i); });
            line->addWidget(join, 0, Qt::AlignTop);
        }
        contentLayout_->addWidget(row);
    }
    if (!model_->moreText().isEmpty())
        contentLayout_->addWidget(text(model_->moreText(), kCaption2, true));
}
