#include "NginxFileServer.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace hexora::tools {
namespace {

// A listening socket on 127.0.0.1 and a free port, inheritable by a child.
std::pair<int, int> listeningSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("update service: socket");
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 511) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("update service: cannot listen on 127.0.0.1");
    }
    return {fd, ntohs(address.sin_port)};
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::filesystem::path NginxFileServer::program() {
    if (const char* chosen = std::getenv("HEXORA_NGINX"); chosen && *chosen) return chosen;
    if (const char* path = std::getenv("PATH")) {
        std::stringstream folders(path);
        for (std::string folder; std::getline(folders, folder, ':');) {
            const auto candidate = std::filesystem::path(folder) / "nginx";
            if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return "/usr/sbin/nginx";
}

NginxFileServer::NginxFileServer(const ServiceLayout& layout, const std::filesystem::path& certFile,
                                 const std::filesystem::path& keyFile, int domainCount)
    : layout_(layout) {
    const auto nginx = program();
    if (::access(nginx.c_str(), X_OK) != 0) {
        throw std::runtime_error("update service: nginx not found (" + nginx.string() +
                                 "); install nginx-light (scripts/install-deps.sh)");
    }
    std::filesystem::create_directories(layout_.nginx() / "tmp");
    std::filesystem::create_directories(layout_.logs());
    std::filesystem::create_directories(layout_.modes());
    std::filesystem::create_directories(layout_.files);
    held_ = std::make_unique<HeldRequests>(layout_.heldFileRequestLog());
    std::string inherited;
    for (int index = 0; index < domainCount; ++index) {
        const auto [fd, port] = listeningSocket();
        sockets_.push_back(fd);
        ports_.push_back(port);
        inherited += std::to_string(fd) + ";";
    }
    const auto configFile = layout_.nginx() / "nginx.conf";
    std::filesystem::remove(layout_.nginx() / "nginx.pid");
    std::ofstream(configFile) << configuration(certFile, keyFile);

    const std::string environmentEntry = "NGINX=" + inherited;
    const std::string prefix = layout_.nginx().string() + "/";
    const std::string errorLog = (layout_.logs() / "nginx-error.log").string();
    std::vector<std::string> arguments = {nginx.string(), "-p", prefix, "-c", configFile.string(), "-e", errorLog};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    // The child's environment: ours plus the inherited sockets.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        if (std::string_view(*entry).rfind("NGINX=", 0) != 0) environment.emplace_back(*entry);
    }
    environment.push_back(environmentEntry);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("update service: fork");
    if (pid_ == 0) {
        // SIGTERM, not SIGKILL: the master then stops its worker too.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::getppid() != parent) ::_exit(127);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    waitUntilServing();
}

std::string NginxFileServer::configuration(const std::filesystem::path& certFile,
                                           const std::filesystem::path& keyFile) const {
    const auto temp = layout_.nginx() / "tmp";
    std::ostringstream conf;
    conf << "daemon off;\n"
         << "master_process on;\n"
         << "worker_processes 1;\n"
         << (::geteuid() == 0 ? "user root;\n" : "")
         << "pid " << (layout_.nginx() / "nginx.pid").string() << ";\n"
         << "error_log " << (layout_.logs() / "nginx-error.log").string() << " notice;\n"
         << "events { worker_connections 512; }\n"
         << "http {\n"
         << "  types { application/json json; text/plain txt csv; application/zip zip; application/gzip gz; }\n"
         << "  default_type application/octet-stream;\n"
         << "  sendfile on;\n"
         << "  keepalive_timeout 15s;\n"
         << "  log_format files '$server_port $status $body_bytes_sent \"$request\"';\n"
         << "  access_log " << (layout_.logs() / "files.access.log").string() << " files;\n"
         << "  client_body_temp_path " << (temp / "body").string() << ";\n"
         << "  proxy_temp_path " << (temp / "proxy").string() << ";\n"
         << "  fastcgi_temp_path " << (temp / "fastcgi").string() << ";\n"
         << "  uwsgi_temp_path " << (temp / "uwsgi").string() << ";\n"
         << "  scgi_temp_path " << (temp / "scgi").string() << ";\n"
         << "  ssl_certificate " << certFile.string() << ";\n"
         << "  ssl_certificate_key " << keyFile.string() << ";\n"
         // A held request waits for the service's end, not for nginx's timeouts.
         << "  proxy_read_timeout 1h;\n"
         << "  proxy_send_timeout 1h;\n";
    const std::string hold = "proxy_pass http://127.0.0.1:" + std::to_string(held_->port()) + ";";
    for (std::size_t index = 0; index < ports_.size(); ++index) {
        const std::string domain = "files-" + std::to_string(index);
        const auto when = [&](const char* mode, const std::string& action) {
            return "      if (-f " + layout_.modeFile(domain, mode).string() + ") { " + action + " }\n";
        };
        const std::string common = when("hang", hold) + when("close", "return 444;") + when("error", "return 503;") +
                                   when("slow", "set $limit_rate 2m;");
        conf << "  server {\n"
             << "    listen 127.0.0.1:" << ports_[index] << " ssl;\n"
             << "    root " << layout_.files.string() << ";\n"
             << "    location / {\n" << common << "    }\n"
             << "    location /update/ {\n" << when("hang-update", hold) << common << "    }\n"
             << "  }\n";
    }
    conf << "}\n";
    return conf.str();
}

void NginxFileServer::waitUntilServing() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto pidFile = layout_.nginx() / "nginx.pid";
    for (;;) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("update service: nginx did not start:\n" +
                                     readAll(layout_.logs() / "nginx-error.log"));
        }
        // The pid file is written once the configuration is in force and the
        // inherited sockets are taken over.
        // (file_size gives -1, not 0, while the file is missing.)
        std::error_code missing;
        const auto pidBytes = std::filesystem::file_size(pidFile, missing);
        if (!missing && pidBytes > 0) break;
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            throw std::runtime_error("update service: nginx did not come up in time");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // nginx holds its own copies now.
    for (const int fd : sockets_) ::close(fd);
    sockets_.clear();
}

std::vector<std::string> NginxFileServer::urls() const {
    std::vector<std::string> result;
    for (const int port : ports_) result.push_back("https://127.0.0.1:" + std::to_string(port));
    return result;
}

void NginxFileServer::stop() {
    // The held requests first: nginx then ends its side of them at once.
    if (held_) held_->stop();
    for (const int fd : sockets_) ::close(fd);
    sockets_.clear();
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

NginxFileServer::~NginxFileServer() { stop(); }

}  // namespace hexora::tools
