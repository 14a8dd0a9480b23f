#include "ui/settings/RecordingSettingsModel.h"

#include <QDateTime>
#include <QUrl>

#include "desktop/CalendarWatcher.h"
#include "platform/Desktop.h"
#include "util/UserDefaults.h"

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

RecordingSettingsModel::RecordingSettingsModel(UserDefaults& defaults, CalendarWatcher& calendar,
                                               CalendarApp calendarApp,
                                               const std::function<bool()>& namesReadable,
                                               QObject* parent)
    : QObject(parent),
      defaults_(defaults),
      calendar_(calendar),
      calendarApp_(std::move(calendarApp)),
      namesReadable_(namesReadable()) {
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        for (const char* mine : {kSystemAudioKey, kParticipantsKey, kPillKey, kVocabularyKey,
                                 CalendarWatcher::kWatchKey})
            if (key == QLatin1String(mine)) return emit settingsChanged();
        if (key == QLatin1String(CalendarWatcher::kSelectedCalendarsKey)) emit calendarChanged();
    });
    connect(&calendar_, &CalendarWatcher::accessChanged, this,
            &RecordingSettingsModel::calendarChanged);
    connect(&calendar_, &CalendarWatcher::calendarsChanged, this,
            &RecordingSettingsModel::calendarChanged);
    connect(&calendar_, &CalendarWatcher::upcomingMeetingsChanged, this,
            &RecordingSettingsModel::calendarChanged);
}

bool RecordingSettingsModel::captureSystemAudio() const {
    return defaults_.boolOr(kSystemAudioKey, true);
}

void RecordingSettingsModel::setCaptureSystemAudio(bool on) {
    defaults_.set(kSystemAudioKey, on);
}

bool RecordingSettingsModel::detectParticipants() const {
    return defaults_.boolOr(kParticipantsKey, true);
}

void RecordingSettingsModel::setDetectParticipants(bool on) {
    if (!detectParticipantsEnabled()) return;
    defaults_.set(kParticipantsKey, on);
}

QString RecordingSettingsModel::participantsCaption() const {
    QString caption = QStringLiteral(
        "Zoom/Google "
        "Meet/Teamsの画面から参加者の氏名を読み取り、文字起こしの話者を実名で分離します。"
        "システム音声の録音中だけ働きます。氏名は議事録生成に使うのみで保存・送信しません。");
    // Without an X server no meeting window can be listed or captured.
    if (!namesReadable_)
        caption += QStringLiteral(
            "このデスクトップ(XWaylandのないWayland)では会議の画面を読み取れないため、"
            "氏名は検知されません。");
    return caption;
}

bool RecordingSettingsModel::showFloatingPill() const {
    return defaults_.boolOr(kPillKey, true);
}

void RecordingSettingsModel::setShowFloatingPill(bool on) {
    defaults_.set(kPillKey, on);
}

bool RecordingSettingsModel::calendarWatch() const {
    return defaults_.boolOr(CalendarWatcher::kWatchKey, true);
}

void RecordingSettingsModel::setCalendarWatch(bool on) {
    if (on == calendarWatch() && defaults_.contains(CalendarWatcher::kWatchKey)) return;
    defaults_.set(CalendarWatcher::kWatchKey, on);
    if (on) {
        calendar_.start();
    } else {
        calendar_.stop();
    }
    emit calendarChanged();
}

QString RecordingSettingsModel::vocabulary() const {
    return qs(defaults_.stringValue(kVocabularyKey).value_or(""));
}

void RecordingSettingsModel::setVocabulary(const QString& text) {
    if (text == vocabulary()) return;
    defaults_.set(kVocabularyKey, text.toStdString());
}

RecordingSettingsModel::CalendarBlock RecordingSettingsModel::calendarBlock() const {
    if (!calendarWatch()) return CalendarBlock::hidden;
    switch (calendar_.access()) {
        case CalendarWatcher::Access::granted:
            return CalendarBlock::granted;
        case CalendarWatcher::Access::denied:
            return CalendarBlock::denied;
        case CalendarWatcher::Access::unavailable:
            return CalendarBlock::unavailable;
        case CalendarWatcher::Access::unknown:
            break;
    }
    return CalendarBlock::hidden;
}

QString RecordingSettingsModel::calendarProblem() const {
    switch (calendarBlock()) {
        case CalendarBlock::denied:
            return QStringLiteral("カレンダーへのアクセスが許可されていません。");
        case CalendarBlock::unavailable:
            return QStringLiteral(
                "カレンダーサービスに接続できません。予定を読むには evolution-data-server "
                "(デスクトップのオンラインアカウントやカレンダーアプリが使うサービス) "
                "が必要です。");
        case CalendarBlock::hidden:
        case CalendarBlock::granted:
            break;
    }
    return {};
}

std::vector<RecordingSettingsModel::CalendarRow> RecordingSettingsModel::calendars() const {
    std::vector<CalendarRow> out;
    for (const CalendarDescriptor& c : calendar_.calendars())
        out.push_back({c.id, qs(c.title), qs(c.sourceTitle), c.colorHex.has_value(),
                       calendar_.isCalendarSelected(c.id)});
    return out;
}

void RecordingSettingsModel::setCalendar(const std::string& id, bool selected) {
    calendar_.setCalendar(id, selected);
    emit calendarChanged();
}

void RecordingSettingsModel::selectAllCalendars() {
    calendar_.selectAllCalendars();
    emit calendarChanged();
}

void RecordingSettingsModel::refresh() {
    calendar_.refreshSnapshot();
}

QString RecordingSettingsModel::meetingsHeader() const {
    return QStringLiteral("今後7日間（%1件）").arg(calendar_.upcomingMeetings().size());
}

std::vector<RecordingSettingsModel::MeetingRow> RecordingSettingsModel::meetingRows() const {
    std::vector<MeetingRow> out;
    for (const CalendarMeeting& m : calendar_.upcomingMeetings()) {
        if (out.size() == kShownMeetings) break;
        out.push_back(meetingRow(m));
        if (unopenedLink_ && m.meetingURL == unopenedLink_)
            out.back().problem = Desktop::noBrowserText();
    }
    return out;
}

QString RecordingSettingsModel::moreText() const {
    const std::size_t count = calendar_.upcomingMeetings().size();
    if (count <= kShownMeetings) return {};
    return QStringLiteral("ほか%1件").arg(count - kShownMeetings);
}

QString RecordingSettingsModel::emptyText() const {
    return calendar_.upcomingMeetings().empty() ? QStringLiteral("予定はありません") : QString();
}

void RecordingSettingsModel::join(std::size_t row) {
    const auto& meetings = calendar_.upcomingMeetings();
    if (row >= meetings.size() || row >= kShownMeetings) return;
    const auto& url = meetings[row].meetingURL;
    if (!url || !isWebLink(*url)) return;
    const std::optional<std::string> unopened =
        Desktop::openUrl(QUrl(qs(*url), QUrl::StrictMode)) ? std::nullopt : url;
    if (unopened == unopenedLink_) return;
    unopenedLink_ = unopened;
    emit calendarChanged();
}

bool RecordingSettingsModel::isWebLink(const std::string& url) {
    // A calendar entry is written by whoever sent the invitation: nothing but a web address
    // may reach the desktop's opener from it.
    const QUrl u(qs(url), QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !u.host().isEmpty();
}

RecordingSettingsModel::MeetingRow RecordingSettingsModel::meetingRow(const CalendarMeeting& m) {
    MeetingRow row;
    row.title = qs(m.title);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(m.startDate.time_since_epoch());
    row.when =
        QDateTime::fromMSecsSinceEpoch(ms.count()).toString(QStringLiteral("yyyy/MM/dd H:mm")) +
        QStringLiteral(" ・ ") + qs(m.calendarTitle);
    if (m.videoProvider)
        row.provider = qs(std::string(rawValue(*m.videoProvider))) +
                       QStringLiteral(" ・ 参加者%1人").arg(m.attendees.size());
    row.hasLink = m.meetingURL.has_value();
    row.canJoin = m.meetingURL && isWebLink(*m.meetingURL);
    return row;
}
