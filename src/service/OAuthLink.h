#pragma once
// Connecting Slack, Discord and Notion through the service in the user's browser. connect()
// opens the service's connect page with a one-time nonce; the browser comes back through the
// "tavro://oauth?nonce=…&provider=…&patch=…" callback, whose text handle() takes exactly as
// the desktop passed it, and which writes the provider's settings. Runs on the GUI thread.
#include <map>
#include <set>
#include <string>

#include "util/UserDefaults.h"

class Notifier;

class OAuthLink {
public:
    OAuthLink() = delete;

    // Provider id to display name; also the providers that can be connected.
    static const std::map<std::string, std::string>& providerNames();
    // Provider id to the settings keys a callback may set for it.
    static const std::map<std::string, std::set<std::string>>& allowedKeysByProvider();

    // False when no connect page was opened: a provider that is not listed, or no browser took
    // the page (the caller then says so).
    static bool connect(const std::string& provider,
                        UserDefaults& defaults = UserDefaults::standard());
    static void disconnect(const std::string& provider,
                           UserDefaults& defaults = UserDefaults::standard());

    // Any failure (a foreign or malformed address, a stale nonce, a bad patch, a key the
    // provider may not set) ends quietly. Only complete success writes settings, notifies and
    // brings the app to the front.
    static void handle(const std::string& url, UserDefaults& defaults = UserDefaults::standard());
    static void handle(const std::string& url, UserDefaults& defaults, Notifier& notifier);
};
