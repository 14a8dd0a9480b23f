#pragma once
// Reads a document's text in a process of its own (the tavro-document-text program beside the
// application), limited in memory, processor time and time on the clock, so that a hostile
// document that would swell into gigabytes or hours of work ends in an error instead of taking
// the application down. read() blocks; cancel() may come from any thread.
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>

class ChildProcess;

class DocumentReader {
public:
    static constexpr const char* kProgramName = "tavro-document-text";
    // Limits of the reading process: ample for any real minutes document.
    static constexpr std::size_t kMemoryLimit = std::size_t(512) << 20;
    static constexpr int kProcessorSeconds = 8;
    static constexpr std::chrono::seconds kTimeLimit{15};
    // The program's exit code when it prints why the document could not be read.
    static constexpr int kRefusedExit = 2;

    // `program`: the reading program; by default the one beside the running executable.
    explicit DocumentReader(std::filesystem::path program = installedProgram());
    ~DocumentReader();
    DocumentReader(const DocumentReader&) = delete;
    DocumentReader& operator=(const DocumentReader&) = delete;

    static std::filesystem::path installedProgram();

    // The text as documenttext::extract gives it; throws DocumentError.
    std::string read(const std::filesystem::path& file);
    // Ends a running read at once (it throws) and refuses later ones.
    void cancel();
    // The reading process while there is one, else -1.
    pid_t processId() const;

private:
    std::filesystem::path program_;
    mutable std::mutex mutex_;
    bool cancelled_ = false;
    ChildProcess* child_ = nullptr;
};
