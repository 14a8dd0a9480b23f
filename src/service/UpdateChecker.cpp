#include "service/UpdateChecker.h"

#include <QCoreApplication>
#include <QUrl>
#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "service/HttpClient.h"
#include "service/ServiceCall.h"
#include "service/TavroAPI.h"
#include "util/Json.h"

#ifndef TAVRO_APP_VERSION
#error "TAVRO_APP_VERSION must come from the project version"
#endif

namespace {

const std::string kFeedOverride = "updateFeedURL";
const std::string kNotifiedVersion = "notifiedUpdateVersion";

bool isLoopbackHost(const QString& host) {
    return host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1");
}

QUrl parseAbsolute(const std::string& text) {
    QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    return url.isValid() && !url.isRelative() ? url : QUrl();
}

// A version part as a signed 64-bit decimal number; anything else counts as 0.
std::int64_t versionPart(std::string_view part) {
    if (part.starts_with('+')) {
        part.remove_prefix(1);
        if (part.empty() || part.front() == '-') return 0;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (ec != std::errc() || end != part.data() + part.size()) return 0;
    return value;
}

std::vector<std::int64_t> versionParts(std::string_view version) {
    std::vector<std::int64_t> parts;
    std::size_t start = 0;
    while (start <= version.size()) {
        std::size_t dot = version.find('.', start);
        if (dot == std::string_view::npos) dot = version.size();
        if (dot > start) parts.push_back(versionPart(version.substr(start, dot - start)));
        start = dot + 1;
    }
    return parts;
}

}  // namespace

const char* UpdateChecker::buildVersion() {
    return TAVRO_APP_VERSION;
}

UpdateChecker& UpdateChecker::shared() {
    static UpdateChecker* instance = [] {
        auto* checker =
            new UpdateChecker(buildVersion(), UserDefaults::standard(), Notifier::shared());
        if (auto* app = QCoreApplication::instance()) checker->moveToThread(app->thread());
        return checker;
    }();
    return *instance;
}

UpdateChecker::UpdateChecker(std::string currentVersion, UserDefaults& defaults, Notifier& notifier,
                             QObject* parent)
    : QObject(parent),
      currentVersion_(std::move(currentVersion)),
      defaults_(defaults),
      notifier_(notifier),
      timer_(this) {
    timer_.setInterval(kIntervalSeconds * 1000);
    QObject::connect(&timer_, &QTimer::timeout, this, &UpdateChecker::check);
    QObject::connect(&notifier_, &Notifier::clicked, this, [this](const QString& identifier) {
        if (identifier.startsWith(QLatin1String("update-"))) openDownload();
    });
}

void UpdateChecker::start() {
    check();
    timer_.start();  // a second start() restarts the one timer rather than adding another
}

std::string UpdateChecker::feedURL() const {
    if (const auto configured = defaults_.stringValue(kFeedOverride)) {
        const QUrl url = parseAbsolute(*configured);
        if (isLoopbackHost(url.host())) return *configured;
    }
    // The same service every other request goes to, TAVRO_SERVICE_URL included.
    return TavroAPI::base() + "/version.json";
}

void UpdateChecker::check() {
    const std::string feed = feedURL();
    const bool loopback = isLoopbackHost(parseAbsolute(feed).host());
    callService(
        this,
        [feed, loopback, current = currentVersion_]() -> std::optional<Offer> {
            HttpClient::Request request;
            request.url = feed;
            request.connectTimeout = std::chrono::seconds(10);
            request.idleTimeout = std::chrono::seconds(10);
            request.maxReplyBytes = kMaxFeedBytes;
            HttpClient::Response response;
            try {
                response = HttpClient::send(request);
            } catch (const HttpClient::Error&) {
                return std::nullopt;
            }
            std::optional<Offer> offer =
                readFeed(response.status, response.body, loopback, current);
            if (offer)
                qInfo("TAVRO update available: %s (current %s)", offer->version.c_str(),
                      current.c_str());
            return offer;
        },
        [this](ServiceOutcome<std::optional<Offer>> outcome) {
            if (outcome.ok() && outcome.value()) publish(*outcome.value());
        });
}

void UpdateChecker::publish(const Offer& offer) {
    availableVersion_ = offer.version;
    downloadURL_ = offer.downloadURL;
    emit availableVersionChanged();
    emit downloadURLChanged();
    if (defaults_.stringValue(kNotifiedVersion) == offer.version) return;
    defaults_.set(kNotifiedVersion, offer.version);
    notifier_.post(QString::fromStdString("update-" + offer.version),
                   QString::fromStdString("TAVRO " + offer.version + " が利用できます"),
                   QStringLiteral("通知をクリックするとダウンロードします(トレイからも可能)"),
                   Notifier::Click::opens);
}

void UpdateChecker::openDownload() {
    if (!downloadURL_) return;
    const QUrl url = parseAbsolute(*downloadURL_);
    if (url.isEmpty() || Desktop::openUrl(url)) return;
    // Asked for from the tray or a notification, where a notification is what the user sees; it
    // carries the address, to be opened by hand.
    notifier_.post(QStringLiteral("download-not-opened"),
                   QStringLiteral("ダウンロードを開けませんでした"),
                   Desktop::cannotOpenText(url) + QLatin1Char('\n') + url.toString());
}

bool UpdateChecker::isNewer(const std::string& a, const std::string& than) {
    std::vector<std::int64_t> left = versionParts(a);
    std::vector<std::int64_t> right = versionParts(than);
    const std::size_t length = std::max(left.size(), right.size());
    left.resize(length, 0);
    right.resize(length, 0);
    for (std::size_t i = 0; i < length; ++i)
        if (left[i] != right[i]) return left[i] > right[i];
    return false;
}

bool UpdateChecker::isAllowedDownload(const std::string& text) {
    const QUrl url = parseAbsolute(text);
    const QUrl service = parseAbsolute(TavroAPI::base());
    return !url.isEmpty() && url.scheme() == QLatin1String("https") && !url.host().isEmpty() &&
           url.host() == service.host() && url.path() == QLatin1String("/download/TAVRO.dmg");
}

std::optional<UpdateChecker::Offer> UpdateChecker::readFeed(long status, const std::string& body,
                                                            bool loopbackFeed,
                                                            const std::string& currentVersion) {
    if (status != 200 || body.empty() || body.size() > kMaxFeedBytes) return std::nullopt;
    const std::optional<json::Value> feed = json::tryParse(body);
    if (!feed || !feed->is_object()) return std::nullopt;
    const auto version = feed->find("version");
    const auto download = feed->find("dmgUrl");
    if (version == feed->end() || !version->is_string() || download == feed->end() ||
        !download->is_string())
        return std::nullopt;
    Offer offer{json::asString(*version, "version"), json::asString(*download, "dmgUrl")};
    const QUrl address = parseAbsolute(offer.downloadURL);
    if (address.isEmpty()) return std::nullopt;
    if (!loopbackFeed && !isAllowedDownload(offer.downloadURL)) return std::nullopt;
    // A feed on this machine may offer any web address, but only a web address: the download
    // is opened with the default handler, which would as well open a local file or program.
    const bool web =
        address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https");
    if (loopbackFeed && (!web || address.host().isEmpty())) return std::nullopt;
    if (!isNewer(offer.version, currentVersion)) return std::nullopt;
    return offer;
}
