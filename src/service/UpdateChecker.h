#pragma once
// Finds out whether the service offers a newer version than the one running: fetches the update
// feed at start and every 6 hours, publishes the offered version and its download address,
// announces each new version once by a notification, and opens the download when asked (or
// when that notification is clicked). Every failure of a check is silent.
#include <QObject>
#include <QTimer>

#include <cstddef>
#include <optional>
#include <string>

#include "util/UserDefaults.h"

class Notifier;

class UpdateChecker : public QObject {
    Q_OBJECT
public:
    // What a feed offers when it passes every check.
    struct Offer {
        std::string version;
        std::string downloadURL;
        bool operator==(const Offer&) const = default;
    };

    static constexpr int kIntervalSeconds = 21600;
    static constexpr std::size_t kMaxFeedBytes = 32768;

    // The process-wide checker, on the application's main thread.
    static UpdateChecker& shared();

    UpdateChecker(std::string currentVersion, UserDefaults& defaults, Notifier& notifier,
                  QObject* parent = nullptr);

    const std::optional<std::string>& availableVersion() const { return availableVersion_; }
    const std::optional<std::string>& downloadURL() const { return downloadURL_; }
    const std::string& currentVersion() const { return currentVersion_; }

    // Checks now and then every kIntervalSeconds.
    void start();
    // One check in the background; returns at once.
    void check();
    // Opens the download with the default handler; nothing while there is none. Where the
    // desktop cannot open it, a notification says so.
    void openDownload();

    // The feed address: "updateFeedURL" when it names a loopback host, else the service's own.
    std::string feedURL() const;

    // Numeric comparison of dotted versions: "1.10" is newer than "1.9", "1.2.0" is not newer
    // than "1.2", and a part that is not a number counts as 0.
    static bool isNewer(const std::string& a, const std::string& than);
    // Only the service's own https download of the disk image.
    static bool isAllowedDownload(const std::string& url);
    // Reads a feed reply; nullopt unless every check passes and the version is newer.
    static std::optional<Offer> readFeed(long status, const std::string& body, bool loopbackFeed,
                                         const std::string& currentVersion);
    // The version this build was made as.
    static const char* buildVersion();

signals:
    // Emitted at every successful check, also when the values did not change.
    void availableVersionChanged();
    void downloadURLChanged();

private:
    void publish(const Offer& offer);

    std::string currentVersion_;
    UserDefaults& defaults_;
    Notifier& notifier_;
    std::optional<std::string> availableVersion_;
    std::optional<std::string> downloadURL_;
    QTimer timer_;
};
