// The `tavro` program. The first start becomes the application; a later one (for example the
// desktop opening a "tavro://" link) hands its addresses to the first and ends.
#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/ActivationToken.h"
#include "app/AppServices.h"
#include "app/LaunchArguments.h"
#include "app/QtTranslations.h"
#include "app/SingleInstance.h"
#include "app/TavroApp.h"
#include "app/TerminationSignals.h"
#include "platform/DisplaySession.h"
#include "service/UpdateChecker.h"

int main(int argc, char** argv) {
    // Before any other thread can read the environment.
    const QString activationToken = ActivationToken::takeOfThisStart();
    const LaunchArguments arguments = LaunchArguments::split(argc, argv);
    int qtArgc = arguments.qtArgc;

    SingleInstance instance;
    const bool first = instance.tryLock();
    if (!first && instance.heldByAnother()) {
        QCoreApplication app(qtArgc, argv);
        // The token of this launch lets the running app bring its window to the front.
        if (instance.forward(arguments.urls, activationToken)) return 0;
        std::fprintf(stderr, "tavro: %s, and it did not answer\n",
                     qPrintable(instance.lockError()));
        return 1;
    }

    // The platform is chosen for this process only, as Qt's option: programs it starts (a
    // browser, the agent tools) keep the desktop's own choice, and the environment stays as it
    // is while threads that Qt starts with the application read it. An option of the user's own
    // comes later and wins.
    std::string platform = DisplaySession::fromEnvironment().chosenQtPlatform();
    char platformOption[] = "-platform";
    std::vector<char*> qtArgv(argv, argv + qtArgc);
    if (!platform.empty()) qtArgv.insert(qtArgv.begin() + 1, {platformOption, platform.data()});
    int appArgc = int(qtArgv.size());
    qtArgv.push_back(nullptr);
    QApplication app(appArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("TAVRO"));
    QApplication::setApplicationVersion(QString::fromLatin1(UpdateChecker::buildVersion()));
    QApplication::setDesktopFileName(QStringLiteral("tavro"));
    qttranslations::install();
    if (!first) {
        // Better one app too many than none: it runs, but cannot be told apart from another.
        std::fprintf(stderr, "tavro: %s; later starts will not find this one\n",
                     qPrintable(instance.lockError()));
    } else if (!instance.listen()) {
        std::fprintf(stderr, "tavro: later starts cannot reach this one (%s)\n",
                     qPrintable(instance.serverName()));
    }

    // The services exist before any window; the update checker is a separate instance.
    AppServices& services = AppServices::shared();
    TavroApp tavro(services, UpdateChecker::shared());
    QObject::connect(&instance, &SingleInstance::received, &tavro, &TavroApp::handleArguments);
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &tavro, &TavroApp::quit);

    tavro.launch(activationToken);
    if (!arguments.urls.isEmpty()) tavro.handleArguments(arguments.urls);
    return app.exec();
}
