#pragma once
// The application as the Qt shell runs it: the main queue is the GUI
// thread's event loop, terminate() asks the delegate (so a quit while the
// worker thread runs is deferred), alerts are message boxes.
//
// Thread: create, setMainWindow() and close() on the GUI thread; the
// platform::Application operations may be called from any thread (work for
// the GUI thread is posted to it). After close() (the event loop is over)
// submitted blocks are dropped.
#include "platform/Application.hpp"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <mutex>

namespace hexora::app {

class QtApplication final : public platform::Application {
public:
    /// `terminate` runs on the GUI thread for each terminate() call.
    explicit QtApplication(std::function<void()> terminate);
    ~QtApplication() override;

    /// The window alerts are shown over (window-modal); may be null.
    void setMainWindow(QWidget* window);
    /// Drops every later block; call before the GUI thread's objects go away.
    void close();

    /// Runs `block` on the GUI thread, after the events already queued.
    void submitToMain(std::function<void()> block) override;
    void terminate() override;
    /// A message box with `message` and one OK button: window-modal over the
    /// main window when it is shown, else application-modal. `dismissed` runs
    /// on the GUI thread when the box is closed.
    void showAlert(const std::string& message, std::function<void()> dismissed) override;

private:
    std::function<void()> terminate_;
    std::mutex mutex_;
    bool closed_ = false;
    std::unique_ptr<QObject> context_;  // lives on the GUI thread; receives the queued calls
    QPointer<QWidget> mainWindow_;
};

}  // namespace hexora::app
