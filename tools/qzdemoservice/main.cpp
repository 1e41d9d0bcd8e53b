// qzdemoservice: a tiny patch service for demonstrations. It serves the files
// of one folder over HTTP on 127.0.0.1; "{BASE}" in a served ".xml" file is
// replaced by the service's own address, so a result document can point at a
// patch file beside it. The query string of a request is ignored: the path
// alone names the file.
//
// usage: qzdemoservice FOLDER [--port N] [--port-file FILE]
#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <signal.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

// A client that sends nothing is dropped after this long.
constexpr int kClientTimeoutSeconds = 5;
// Connections served at once; more are closed unanswered.
constexpr int kMaxClients = 64;
std::atomic<int> g_clients{0};

void OnSignal(int) { g_stop = 1; }

bool SendAll(int fd, const std::string& data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Answer(int status, const char* reason, const std::string& type, const std::string& body)
{
    std::ostringstream out;
    out << "HTTP/1.1 " << status << ' ' << reason << "\r\nContent-Type: " << type
        << "\r\nContent-Length: " << body.size() << "\r\nConnection: close\r\n\r\n"
        << body;
    return out.str();
}

void Serve(int client, const std::string& folder, const std::string& base)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    std::istringstream line(request.substr(0, request.find("\r\n")));
    std::string method, target;
    line >> method >> target;
    std::string path = target.substr(0, target.find_first_of("?#"));
    std::fprintf(stderr, "qzdemoservice: %s %s\n", method.c_str(), target.c_str());
    if (method != "GET") {
        SendAll(client, Answer(405, "Method Not Allowed", "text/plain", "GET only\n"));
        return;
    }
    // Only plain names inside the folder are served.
    if (path.empty() || path == "/" || path.find("..") != std::string::npos) {
        SendAll(client, Answer(404, "Not Found", "text/plain", "not found\n"));
        return;
    }
    // A folder opens as a stream but fails its first read.
    struct stat info {};
    std::ifstream file;
    if (stat((folder + path).c_str(), &info) == 0 && S_ISREG(info.st_mode))
        file.open(folder + path, std::ios::binary);
    if (!file.is_open()) {
        SendAll(client, Answer(404, "Not Found", "text/plain", "not found\n"));
        return;
    }
    std::string body;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0)
        body.append(chunk, static_cast<std::size_t>(file.gcount()));
    std::string type = "application/octet-stream";
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".xml") == 0) {
        type = "text/xml; charset=utf-8";
        for (std::size_t at; (at = body.find("{BASE}")) != std::string::npos;)
            body.replace(at, 6, base);
    }
    SendAll(client, Answer(200, "OK", type, body));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: qzdemoservice FOLDER [--port N] [--port-file FILE]\n");
        return 64;
    }
    const std::string folder = argv[1];
    int port = 0;
    const char* portFile = nullptr;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0)
            port = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--port-file") == 0)
            portFile = argv[i + 1];
    }
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 16) != 0) {
        std::perror("qzdemoservice: bind");
        return 1;
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    std::printf("%s\n", base.c_str());
    std::fflush(stdout);
    if (portFile) {
        std::ofstream(portFile) << port << '\n';
    }
    // Without SA_RESTART a signal interrupts accept(), so the service stops at once.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    while (!g_stop) {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        if (g_clients.load() >= kMaxClients) {
            close(client);
            continue;
        }
        const timeval timeout{kClientTimeoutSeconds, 0};
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        ++g_clients;
        // One thread each, so that a slow client holds up no other. The
        // threads block the stop signals, so that they interrupt accept().
        sigset_t stopSignals, previous;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGINT);
        pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
        try {
            std::thread([client, folder, base] {
                Serve(client, folder, base);
                close(client);
                --g_clients;
            }).detach();
        } catch (const std::system_error&) {
            close(client);
            --g_clients;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    close(listener);
    return 0;
}
