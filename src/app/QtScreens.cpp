#include "app/QtScreens.hpp"

#include "platform/SystemDeviceFacts.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <mutex>

namespace hexora::app::QtScreens {
namespace {
std::mutex mutex;
std::vector<platform::ScreenFrame> lastRead;

bool onGuiThread() {
    auto* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}
}  // namespace

std::vector<platform::ScreenFrame> screens() {
    if (!onGuiThread()) {
        std::lock_guard lock(mutex);
        return lastRead;
    }
    std::vector<platform::ScreenFrame> frames;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect geometry = screen->geometry();
        frames.push_back({static_cast<double>(geometry.x()), static_cast<double>(geometry.y()),
                          static_cast<double>(geometry.width()), static_cast<double>(geometry.height()),
                          screen->devicePixelRatio()});
    }
    std::lock_guard lock(mutex);
    lastRead = frames;
    return frames;
}

void installDeviceFacts() {
    screens();
    platform::DeviceFacts::install(std::make_shared<platform::SystemDeviceFacts>(&QtScreens::screens));
}

}  // namespace hexora::app::QtScreens
