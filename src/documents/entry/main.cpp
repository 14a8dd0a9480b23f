// The tavro-document-text program: prints the text of the document named by its argument for
// the application, which reads it through a pipe. It limits itself first, so that a document
// that swells without end costs this process and never the application: a runaway ends in a
// signal or a failed allocation, which the application reports as a document too large or too
// complex. Exit 0: the text follows; DocumentReader::kRefusedExit: why it could not be read.
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <exception>
#include <string_view>

#include "documents/DocumentError.h"
#include "documents/DocumentReader.h"
#include "documents/DocumentText.h"

#if defined(__SANITIZE_ADDRESS__)
#define TAVRO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRO_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef TAVRO_ADDRESS_SANITIZER
// The sanitizer reserves terabytes of address space up front, so an address-space limit would
// fail every allocation; it watches the resident size instead.
extern "C" const char* __asan_default_options() {
    return "hard_rss_limit_mb=512";
}
#endif

namespace {

void limit(int resource, rlim_t value) {
    const rlimit bound{value, value};
    setrlimit(resource, &bound);
}

bool writeAll(std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, data.data(), data.size());
        if (n < 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 64;
    // Ends with the application rather than reading on for nobody.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    limit(RLIMIT_CPU, DocumentReader::kProcessorSeconds);
    limit(RLIMIT_CORE, 0);  // a runaway's end is expected, not worth a dump of its memory
#ifndef TAVRO_ADDRESS_SANITIZER
    limit(RLIMIT_AS, DocumentReader::kMemoryLimit);
#endif
    try {
        const std::string text = documenttext::extract(argv[1]);
        return writeAll(text) ? 0 : 1;
    } catch (const DocumentError& e) {
        writeAll(e.what());
        return DocumentReader::kRefusedExit;
    } catch (const std::exception&) {
        return 1;  // out of memory on the way
    }
}
