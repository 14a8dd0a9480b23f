#pragma once
// What the recording tab shows and does: the switches the engine and the pill read when a
// recording starts, the calendar watch with its calendars and coming meetings, and the
// vocabulary.
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CalendarWatcher;
struct CalendarMeeting;
class UserDefaults;

class RecordingSettingsModel : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kSystemAudioKey = "captureSystemAudio";
    static constexpr const char* kParticipantsKey = "detectParticipants";
    static constexpr const char* kPillKey = "showFloatingPill";
    static constexpr const char* kVocabularyKey = "vocabulary";
    static constexpr std::size_t kShownMeetings = 5;

    // The desktop's calendar application, opened where access was refused.
    struct CalendarApp {
        std::function<bool()> available = [] { return false; };
        std::function<bool()> open = [] { return false; };
    };

    enum class CalendarBlock { hidden, denied, unavailable, granted };

    struct CalendarRow {
        std::string id;
        QString title;
        QString source;
        bool colored = false;
        bool selected = false;
        bool operator==(const CalendarRow&) const = default;
    };
    struct MeetingRow {
        QString title;
        QString when;      // start, " ・ ", calendar
        QString provider;  // "Zoom ・ 参加者3人"; empty without a provider
        bool hasLink = false;
        bool canJoin = false;  // only web links are opened
        QString problem;       // why its last "参加" opened nothing; empty when it did
        bool operator==(const MeetingRow&) const = default;
    };

    // `namesReadable`: whether meeting windows can be read on this display (an X server, or
    // XWayland, answers); asked once.
    RecordingSettingsModel(
        UserDefaults& defaults, CalendarWatcher& calendar, CalendarApp calendarApp,
        const std::function<bool()>& namesReadable = [] { return true; },
        QObject* parent = nullptr);

    bool captureSystemAudio() const;
    void setCaptureSystemAudio(bool on);
    bool detectParticipants() const;
    // Detection needs the system audio capture; its own value stays while it is off.
    bool detectParticipantsEnabled() const { return captureSystemAudio(); }
    void setDetectParticipants(bool on);
    // What detection does, and where names cannot be read, that they are not.
    QString participantsCaption() const;
    bool showFloatingPill() const;
    void setShowFloatingPill(bool on);
    bool calendarWatch() const;
    // Starts or stops the watcher at once.
    void setCalendarWatch(bool on);
    QString vocabulary() const;
    void setVocabulary(const QString& text);

    CalendarBlock calendarBlock() const;
    // Why no calendar can be shown (denied, unavailable); empty otherwise.
    QString calendarProblem() const;
    bool canOpenCalendarApp() const { return calendarApp_.available(); }
    void openCalendarApp() const { calendarApp_.open(); }

    std::vector<CalendarRow> calendars() const;
    void setCalendar(const std::string& id, bool selected);
    void selectAllCalendars();
    void refresh();

    QString meetingsHeader() const;
    // The first five meetings.
    std::vector<MeetingRow> meetingRows() const;
    // "ほか2件" below five rows; empty when nothing more.
    QString moreText() const;
    // "予定はありません" without meetings; else empty.
    QString emptyText() const;
    // Opens the meeting's link in the browser when it is a web address. Where the desktop
    // cannot open it, the meeting's row says so until the next "参加".
    void join(std::size_t row);

    static MeetingRow meetingRow(const CalendarMeeting& meeting);
    static bool isWebLink(const std::string& url);

signals:
    void settingsChanged();
    void calendarChanged();

private:
    UserDefaults& defaults_;
    CalendarWatcher& calendar_;
    CalendarApp calendarApp_;
    bool namesReadable_;
    std::optional<std::string> unopenedLink_;  // the link of the last "参加" that opened nothing
};
