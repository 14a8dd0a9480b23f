#pragma once
// What the windows reach the rest of the application through. One context is handed to each
// window's constructor, so a test can build a window over stores and services of its own.
#include <QString>

#include <optional>
#include <string>

class AuthModel;
class CalendarWatcher;
class LibraryStore;
class MinutesStore;
class RecorderEngine;
class UpdateChecker;
class UserDefaults;

// Modal questions asked of the user. The application shows real dialogs; tests answer at once,
// so that nothing ever blocks on a window.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A yes/no question with a destructive "yes" (deleting records, folders, tags).
    virtual bool confirm(const QString& title, const QString& message,
                         const QString& destructiveButton) = 0;
    // An audio file to import, or nothing when the user cancels.
    virtual std::optional<std::string> openAudioFile() = 0;
    // A minutes document (Word, PDF, text, Markdown) to make a template from, or nothing.
    virtual std::optional<std::string> openDocumentFile() = 0;
    // Where to write an exported file, or nothing when the user cancels. The panel starts in
    // the folder of `proposedPath` and proposes its name, offers files ending in "." +
    // `extension` and shows `message`; it does not ask about overwriting, the caller does.
    // Answers "cancelled" unless a window overrides it, so that nothing is ever written unasked.
    virtual std::optional<std::string> saveFile(const QString& proposedPath, const QString& message,
                                                const QString& extension) {
        (void)proposedPath, (void)message, (void)extension;
        return std::nullopt;
    }
};

struct UiContext {
    MinutesStore& store;
    LibraryStore& library;
    RecorderEngine& engine;
    AuthModel& auth;
    UpdateChecker& updates;
    CalendarWatcher& calendar;
    UserDefaults& defaults;
    Dialogs& dialogs;
};
