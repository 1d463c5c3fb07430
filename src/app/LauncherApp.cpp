#include "app/LauncherApp.hpp"

#include "app/AppDelegate.hpp"
#include "app/CommandLine.hpp"
#include "app/MainWindow.hpp"
#include "app/QtApplication.hpp"
#include "app/QtScreens.hpp"
#include "app/QuitSignals.hpp"
#include "app/ShellTrace.hpp"
#include "platform/ExitGate.hpp"
#include "workers/launcher/SelfRestart.hpp"

#include <QApplication>
#include <QTimer>

#include <string>
#include <vector>

namespace hexora::app {
namespace {
std::vector<std::string> argumentsOf(const QApplication& application) {
    std::vector<std::string> arguments;
    for (const auto& argument : application.arguments()) arguments.push_back(argument.toStdString());
    return arguments;
}
}  // namespace

int runLauncherApp(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Hexora"));
    ShellTrace::enable();
    QtScreens::installDeviceFacts();
    namespace SelfRestart = Worker::Launcher::SelfRestart;
    SelfRestart::setPreviousLauncher(SelfRestart::previousLauncherIn(argumentsOf(qtApplication)));

    AppDelegate delegate([] { QCoreApplication::exit(0); });
    QApplication::setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    auto application = std::make_shared<QtApplication>([&delegate] { delegate.terminate(); });
    platform::Application::install(application);
    QuitSignals quitSignals([&delegate] { delegate.terminate(); });

    int result = 0;
    {
        MainWindow window([&delegate] { return delegate.applicationShouldTerminate(); });
        application->setMainWindow(&window);
        window.show();

        const auto urls = openedUrls(argumentsOf(qtApplication));
        QTimer::singleShot(0, &window, [&delegate, urls] {
            if (!urls.empty()) delegate.applicationOpenUrls(urls);
            delegate.applicationDidFinishLaunching();
        });
        result = QApplication::exec();
        delegate.applicationWillTerminate();
        application->close();
    }
    platform::Application::install(nullptr);
    // From here on no thread that outlives its caller (a child's waiter, an
    // upload) reports to the program any more.
    platform::ExitGate::close();
    return result;
}

}  // namespace hexora::app
