#include "app/QtApplication.hpp"

#include <QMessageBox>
#include <QMetaObject>

namespace hexora::app {

QtApplication::QtApplication(std::function<void()> terminate)
    : terminate_(std::move(terminate)), context_(std::make_unique<QObject>()) {}

QtApplication::~QtApplication() { close(); }

void QtApplication::setMainWindow(QWidget* window) { mainWindow_ = window; }

void QtApplication::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

void QtApplication::submitToMain(std::function<void()> block) {
    std::lock_guard lock(mutex_);
    if (closed_ || !block) return;
    QMetaObject::invokeMethod(context_.get(), [block = std::move(block)] { block(); }, Qt::QueuedConnection);
}

void QtApplication::terminate() {
    submitToMain([this] {
        if (terminate_) terminate_();
    });
}

void QtApplication::showAlert(const std::string& message, std::function<void()> dismissed) {
    submitToMain([this, text = QString::fromStdString(message), dismissed = std::move(dismissed)] {
        QWidget* over = mainWindow_ && mainWindow_->isVisible() ? mainWindow_.data() : nullptr;
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Hexora"), text, QMessageBox::Ok, over);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [dismissed] {
            if (dismissed) dismissed();
        });
        if (over) {
            box->open();  // window-modal over the main window
        } else {
            box->setWindowModality(Qt::ApplicationModal);
            box->show();
        }
    });
}

}  // namespace hexora::app
