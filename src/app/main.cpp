// The launcher program: the driver's first workers, then the shell.
#include "app/LauncherApp.hpp"
#include "workers/FirstWorkers.hpp"

int main(int argc, char** argv) {
    hexora::installFirstWorkers();
    return hexora::app::runLauncherApp(argc, argv);
}
