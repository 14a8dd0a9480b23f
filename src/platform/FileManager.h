#pragma once
// Shows files in the user's file manager with the files selected, through the desktop's
// file-manager interface on the session bus. Where no file manager answers it, the folder that
// holds the file is opened instead (Desktop::openUrl, so tests see it there).
#include <string>

class FileManager {
public:
    FileManager() = delete;

    static constexpr const char* kService = "org.freedesktop.FileManager1";
    static constexpr const char* kPath = "/org/freedesktop/FileManager1";
    static constexpr const char* kInterface = "org.freedesktop.FileManager1";

    // Returns at once; the answer of the file manager, or its absence, is handled later on the
    // calling thread's event loop. Main thread.
    static void showItem(const std::string& path);
};
