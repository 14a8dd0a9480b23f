#pragma once
#include <mutex>
#include <string_view>

// The writing end of a pipe to a child's standard input. Writes never block and never end the
// application: a reader that has gone away (SIGPIPE is ignored process-wide by ChildProcess) or
// a full pipe only makes write() return false.
class PipeWriter {
public:
    // Takes ownership of `fd`.
    explicit PipeWriter(int fd);
    ~PipeWriter();
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;

    // True when all of `data` went into the pipe.
    bool write(std::string_view data);
    // Closing lets the reader see the end of its input.
    void close();
    bool isOpen() const;

private:
    mutable std::mutex mutex_;
    int fd_;
};
