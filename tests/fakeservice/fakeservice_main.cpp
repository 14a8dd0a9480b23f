// Runs the fake service by hand, so the app can be tried end to end without the real one:
//
//     tavro-fakeservice [port]
//     TAVRO_SERVICE_URL=http://127.0.0.1:<port> tavro
//
// The login code for any e-mail address is 123456. Stop it with Ctrl-C.
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "fakeservice/FakeService.h"

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    // Blocked before the server starts its threads, so only sigwait below receives them.
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    FakeService service(port);
    std::printf("TAVRO_SERVICE_URL=%s\n", service.baseUrl().c_str());
    std::printf("login code: %s\n", FakeService::kLoginCode);
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}
