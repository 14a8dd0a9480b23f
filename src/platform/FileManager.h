#pragma once
// Shows files in the user's file manager with the files selected, through the desktop's
// file-manager interface on the session bus. Where no file manager answers it, the folder that
// holds the file is opened instead (Desktop::openUrl, so tests see it there).
#include <QString>

#include <functional>
#include <string>

class FileManager {
public:
    FileManager() = delete;

    static constexpr const char* kService = "org.freedesktop.FileManager1";
    static constexpr const char* kPath = "/org/freedesktop/FileManager1";
    static constexpr const char* kInterface = "org.freedesktop.FileManager1";

    // Called with the line to show where neither the file manager nor the folder's default
    // application took it (Desktop::cannotOpenFolderText).
    using Unopened = std::function<void(const QString& problem)>;

    // Returns at once; the answer of the file manager, or its absence, is handled later on the
    // calling thread's event loop, where `unopened` may be called. Main thread.
    static void showItem(const std::string& path, Unopened unopened = {});
};
