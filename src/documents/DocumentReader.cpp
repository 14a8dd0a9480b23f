#include "documents/DocumentReader.h"

#include <system_error>

#include "documents/DocumentError.h"
#include "documents/DocumentText.h"
#include "platform/ChildProcess.h"

namespace {

// A text file comes whole; a Word or PDF document is cut far shorter.
constexpr std::size_t kMaxOutput = documenttext::kMaxFileBytes;

}  // namespace

DocumentReader::DocumentReader(std::filesystem::path program) : program_(std::move(program)) {}

DocumentReader::~DocumentReader() {
    cancel();
}

std::filesystem::path DocumentReader::installedProgram() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (error ? std::filesystem::path() : self.parent_path()) / kProgramName;
}

std::string DocumentReader::read(const std::filesystem::path& file) {
    const std::string name = "ファイル「" + file.filename().string() + "」";
    ChildProcess::Options options;
    options.program = program_.string();
    options.arguments = {file.string()};
    options.environment = ChildProcess::currentEnvironment();
    options.output = ChildProcess::Output::captureStdout;
    options.outputLimit = kMaxOutput;
    std::unique_ptr<ChildProcess> child;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) throw DocumentError(name + "の読み込みを中止しました");
        std::string error;
        child = ChildProcess::spawn(options, &error);
        if (!child) throw DocumentError(name + "を読み込めませんでした: " + error);
        child_ = child.get();
    }
    const auto exit = child->waitUntil(std::chrono::steady_clock::now() + kTimeLimit);
    bool cancelled = false;
    {
        std::lock_guard lock(mutex_);
        child_ = nullptr;
        cancelled = cancelled_;
    }
    if (cancelled) throw DocumentError(name + "の読み込みを中止しました");
    if (exit && !exit->signaled && !child->outputOverflowed()) {
        if (exit->status == 0) return child->output();
        if (exit->status == kRefusedExit) throw DocumentError(child->output());
    }
    // Out of memory, out of time, or crashed on the way: all the same to the user.
    throw DocumentError(name + "を読み込めませんでした: 文書が大きすぎるか複雑すぎます");
}

void DocumentReader::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (child_) child_->kill();
}

pid_t DocumentReader::processId() const {
    std::lock_guard lock(mutex_);
    return child_ ? child_->pid() : -1;
}
