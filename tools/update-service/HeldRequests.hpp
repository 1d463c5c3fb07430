#pragma once
// The back end of the file domains' "hang" switches: a plain TCP listener on
// 127.0.0.1 to which nginx hands a request it is to hold. Each connection is
// accepted, its request line is appended to a log (one line each, so a test
// can see which requests are held) and it is then kept open without an
// answer until the service stops: a server that takes the request and never
// answers.
//
// Thread: construct and stop on one thread; the connections are taken on a
// thread of its own.
// Failure: the constructor throws std::runtime_error when it cannot listen.
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

namespace hexora::tools {

class HeldRequests {
public:
    /// Appends each held request line to `log`.
    explicit HeldRequests(std::filesystem::path log);
    ~HeldRequests();
    HeldRequests(const HeldRequests&) = delete;
    HeldRequests& operator=(const HeldRequests&) = delete;

    int port() const { return port_; }
    /// Closes the listener and every held connection.
    void stop();

private:
    void serve();
    void hold(int connection);

    std::filesystem::path log_;
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> held_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace hexora::tools
