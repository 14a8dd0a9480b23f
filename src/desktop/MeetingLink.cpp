#include "desktop/MeetingLink.h"

#include <QRegularExpression>
#include <QString>
#include <QUrl>

namespace {

constexpr std::string_view kZoomHost = "zoom.us";
constexpr std::string_view kMeetHost = "meet.google.com";
constexpr std::string_view kTeamsHost = "teams.microsoft.com";
constexpr std::string_view kTeamsLiveHost = "teams.live.com";

bool isOrUnder(std::string_view host, std::string_view domain) {
    if (host == domain) return true;
    return host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

bool isMeetingHost(std::string_view host) {
    // Meet links never use subdomains of the meeting host; other Google hosts are not meetings.
    return isOrUnder(host, kZoomHost) || host == kMeetHost || isOrUnder(host, kTeamsHost) ||
           isOrUnder(host, kTeamsLiveHost);
}

const QRegularExpression& linkPattern() {
    // Unicode white space too: Japanese notes often put an ideographic space after a link.
    static const QRegularExpression re(
        QStringLiteral("https?://[^\\s<>\\\"']+"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

QString trimmed(QString s) {
    static const QString junk = QStringLiteral(".,);]}>");
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && junk.contains(s[begin])) ++begin;
    while (end > begin && junk.contains(s[end - 1])) --end;
    return s.mid(begin, end - begin);
}

std::string hostOf(const std::string& url) {
    return QUrl(QString::fromStdString(url)).host().toLower().toStdString();
}

}  // namespace

std::optional<std::string> findMeetingURL(std::string_view text) {
    const QRegularExpression& re = linkPattern();
    if (!re.isValid()) return std::nullopt;
    const QString subject = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    auto it = re.globalMatch(subject);
    while (it.hasNext()) {
        const QString candidate = trimmed(it.next().captured(0));
        const QUrl url(candidate, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty()) continue;
        if (isMeetingHost(url.host().toLower().toStdString())) return candidate.toStdString();
    }
    return std::nullopt;
}

std::optional<std::string> extractMeetingURL(const CalendarEvent& event) {
    for (const auto* text : {&event.url, &event.location, &event.notes}) {
        if (!text->has_value()) continue;
        if (auto found = findMeetingURL(**text)) return found;
    }
    return std::nullopt;
}

std::optional<MeetingVideoProvider> meetingVideoProvider(const std::optional<std::string>& url) {
    if (!url) return std::nullopt;
    const std::string host = hostOf(*url);
    if (isOrUnder(host, kZoomHost)) return MeetingVideoProvider::zoom;
    if (host == kMeetHost) return MeetingVideoProvider::googleMeet;
    if (host.find(kTeamsHost) != std::string::npos) return MeetingVideoProvider::microsoftTeams;
    if (host.find(kTeamsLiveHost) != std::string::npos) return MeetingVideoProvider::microsoftTeams;
    return MeetingVideoProvider::other;
}
