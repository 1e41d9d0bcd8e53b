#include "support/RawHttpServer.h"

#include "support/LoopbackPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace qz::test {

RawHttpServer::RawHttpServer(RawHttpScript script) : script_(std::move(script))
{
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = qz::test::LoopbackAddress(0);
    bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listen_, 1);
    socklen_t size = sizeof address;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer()
{
    Finish();
    close(listen_);
}

const std::string& RawHttpServer::Finish()
{
    if (thread_.joinable()) {
        stop_ = true;
        shutdown(listen_, SHUT_RDWR);
        thread_.join();
    }
    return received_;
}

void RawHttpServer::Serve()
{
    const int fd = accept(listen_, nullptr, nullptr);
    if (fd < 0) {
        return;
    }
    if (script_.stall) {
        while (!stop_) {
            poll(nullptr, 0, 20);
        }
        close(fd);
        return;
    }
    char buffer[65536];
    std::size_t headEnd = std::string::npos;
    std::uint64_t wanted = std::numeric_limits<std::uint64_t>::max();
    while (received_.size() < wanted) {
        const std::size_t room =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, wanted - received_.size()));
        const ssize_t n = recv(fd, buffer, room, 0);
        if (n <= 0) {
            break;
        }
        received_.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos && (headEnd = received_.find("\r\n\r\n")) != std::string::npos) {
            const std::size_t at = received_.find("Content-Length: ");
            const std::uint64_t announced =
                at < headEnd ? std::strtoull(received_.c_str() + at + 16, nullptr, 10) : 0;
            wanted = headEnd + 4 + std::min(announced, script_.bodyLimit);
        }
    }
    if (!script_.answer.empty()) {
        send(fd, script_.answer.data(), script_.answer.size(), MSG_NOSIGNAL);
    }
    if (script_.reset) {
        const linger hard{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close(fd);
}

} // namespace qz::test
