// qzdemoservice with clients that misbehave.
#include "support/LoopbackPort.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = qz::test::LoopbackAddress(static_cast<std::uint16_t>(port));
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// The whole answer, or what came before three seconds passed.
std::string Get(int port, const std::string& path)
{
    const int fd = Connect(port);
    const timeval timeout{3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char chunk[4096];
    for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, 0)) > 0;)
        answer.append(chunk, static_cast<std::size_t>(n));
    close(fd);
    return answer;
}

TEST(DemoServiceTest, SilentClientsAndFoldersStopNoOne)
{
    qz::test::TempFolder dir;
    std::filesystem::create_directories(dir / "served" / "sub");
    std::ofstream(dir / "served" / "a.txt") << "hello";
    const std::string folder = (dir / "served").string();
    const std::string portFile = (dir / "port").string();
    const char* argv[] = {QZ_DEMO_SERVICE, folder.c_str(), "--port-file", portFile.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, QZ_DEMO_SERVICE, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    int port = 0;
    for (int i = 0; i < 100 && port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream(portFile) >> port;
    }
    ASSERT_NE(port, 0);

    const int silent = Connect(port);
    EXPECT_NE(Get(port, "/a.txt").find("200 OK"), std::string::npos);
    EXPECT_NE(Get(port, "/sub").find("404 Not Found"), std::string::npos);
    const std::string answer = Get(port, "/a.txt?after=folder");
    EXPECT_NE(answer.find("200 OK"), std::string::npos);
    EXPECT_TRUE(answer.ends_with("\r\n\r\nhello")) << answer;
    close(silent);

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

}  // namespace
