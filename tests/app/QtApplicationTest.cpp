#include "app/QtApplication.hpp"
#include "app/QuitSignals.hpp"
#include "EventLoop.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

namespace hexora {
namespace {

QMessageBox* openMessageBox() {
    for (auto* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
    return nullptr;
}

TEST(QtApplicationTest, BlocksFromAnyThreadRunInOrderOnTheGuiThread) {
    app::QtApplication application(nullptr);
    std::vector<int> order;
    std::vector<bool> onGui;
    std::thread([&] {
        for (int index = 0; index < 3; ++index)
            application.submitToMain([&, index] {
                order.push_back(index);
                onGui.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
            });
    }).join();
    EXPECT_TRUE(order.empty()) << "queued, not run at once";
    ASSERT_TRUE(test::processEventsUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(onGui, (std::vector<bool>{true, true, true}));
}

TEST(QtApplicationTest, BlocksAfterCloseAreDropped) {
    app::QtApplication application(nullptr);
    bool ran = false;
    application.close();
    application.submitToMain([&] { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(QtApplicationTest, TerminateAsksOnTheGuiThread) {
    int asked = 0;
    app::QtApplication application([&] { ++asked; });
    std::thread([&] { application.terminate(); }).join();
    ASSERT_TRUE(test::processEventsUntil([&] { return asked == 1; }));
}

TEST(QtApplicationTest, AlertIsWindowModalOverTheShownMainWindowAndReportsItsDismissal) {
    app::QtApplication application(nullptr);
    QWidget window;
    window.show();
    application.setMainWindow(&window);
    bool dismissed = false;
    application.showAlert("Please move the Hexora.app icon to the Applications folder.", [&] { dismissed = true; });

    QMessageBox* box = nullptr;
    ASSERT_TRUE(test::processEventsUntil([&] { return (box = openMessageBox()) != nullptr; }));
    EXPECT_EQ(box->text(), "Please move the Hexora.app icon to the Applications folder.");
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), &window);
    EXPECT_FALSE(dismissed);
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(test::processEventsUntil([&] { return dismissed; }));
}

TEST(QtApplicationTest, AlertWithoutAShownWindowIsApplicationModal) {
    app::QtApplication application(nullptr);
    bool dismissed = false;
    application.showAlert("msg_mac_install", [&] { dismissed = true; });
    QMessageBox* box = nullptr;
    ASSERT_TRUE(test::processEventsUntil([&] { return (box = openMessageBox()) != nullptr; }));
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box->parentWidget(), nullptr);
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(test::processEventsUntil([&] { return dismissed; }));
}

TEST(QuitSignalsTest, TermAndIntBecomeQuitRequestsOnTheGuiThread) {
    for (int signal : {SIGTERM, SIGINT}) {
        int requests = 0;
        app::QuitSignals quitSignals([&] { ++requests; });
        std::raise(signal);
        EXPECT_TRUE(test::processEventsUntil([&] { return requests > 0; })) << "signal " << signal;
        EXPECT_EQ(requests, 1);
    }
}

}  // namespace
}  // namespace hexora
