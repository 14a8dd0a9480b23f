#include "desktop/MeetingAttendee.h"

#include <cctype>

#include "util/Hash.h"
#include "util/Text.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecoded(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out.push_back(s[i]);
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        const int hi = hexValue(s[i + 1]);
        const int lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    if (!text::isValidUtf8(out)) return std::nullopt;
    return out;
}

std::string schemeOf(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '+' && c != '-' && c != '.') return {};
        c = static_cast<char>(std::tolower(u));
    }
    return scheme;
}

}  // namespace

std::optional<std::string> mailtoAddress(const std::string& url) {
    if (schemeOf(url) != "mailto") return std::nullopt;
    return percentDecoded(std::string_view(url).substr(7));
}

std::string participantStatusLabel(ParticipantStatus status) {
    switch (status) {
        case ParticipantStatus::pending:
            return "未回答";
        case ParticipantStatus::accepted:
            return "参加";
        case ParticipantStatus::declined:
            return "不参加";
        case ParticipantStatus::tentative:
            return "仮承諾";
        case ParticipantStatus::delegated:
            return "代理";
        case ParticipantStatus::completed:
            return "完了";
        case ParticipantStatus::inProcess:
            return "進行中";
        case ParticipantStatus::unknown:
            break;
    }
    return "不明";
}

std::string participantRoleLabel(ParticipantRole role) {
    switch (role) {
        case ParticipantRole::required:
            return "必須";
        case ParticipantRole::optional:
            return "任意";
        case ParticipantRole::chair:
            return "主催者";
        case ParticipantRole::nonParticipant:
            return "非参加者";
        case ParticipantRole::unknown:
            break;
    }
    return "不明";
}

MeetingAttendee makeAttendee(const CalendarParticipant& participant) {
    MeetingAttendee a;
    a.email = mailtoAddress(participant.url);
    a.id = !participant.url.empty() ? participant.url
                                    : participant.name.value_or("") + "-" +
                                          (participant.isCurrentUser ? "true" : "false");
    if (participant.name) {
        a.name = *participant.name;
    } else if (a.email) {
        a.name = *a.email;
    } else {
        a.name = "名前未設定";
    }
    a.isCurrentUser = participant.isCurrentUser;
    a.status = participantStatusLabel(participant.status);
    a.role = participantRoleLabel(participant.role);
    return a;
}

std::size_t std::hash<MeetingAttendee>::operator()(const MeetingAttendee& v) const noexcept {
    return hashing::of(v.id, v.name, v.email, v.isCurrentUser, v.status, v.role);
}
