// One connection on a loopback port, scripted at the byte level: the request
// head and as much of its body as the script says are read, then the server
// answers, hangs up or resets. Every byte that arrived is kept.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <utility>

namespace qz::test {

struct RawHttpScript {
    /// Body bytes read before acting; at most the announced length.
    std::uint64_t bodyLimit = std::numeric_limits<std::uint64_t>::max();
    /// Sent once the bytes are read; empty: none.
    std::string answer;
    /// End with a reset rather than an orderly close.
    bool reset = false;
    /// Read nothing at all, and keep the connection open until Finish.
    bool stall = false;

    static RawHttpScript Stall()
    {
        RawHttpScript script;
        script.stall = true;
        return script;
    }
    static RawHttpScript ResetAfter(std::uint64_t bytes)
    {
        RawHttpScript script;
        script.bodyLimit = bytes;
        script.reset = true;
        return script;
    }
    static RawHttpScript AnswerAfter(std::uint64_t bytes, std::string answer)
    {
        RawHttpScript script;
        script.bodyLimit = bytes;
        script.answer = std::move(answer);
        return script;
    }
};

class RawHttpServer {
  public:
    RawHttpServer() : RawHttpServer(RawHttpScript{}) {}
    explicit RawHttpServer(RawHttpScript script);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    std::uint16_t Port() const { return port_; }
    /// Ends the connection and waits for it; the bytes received.
    const std::string& Finish();

  private:
    void Serve();

    RawHttpScript script_;
    int listen_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::string received_;
};

} // namespace qz::test
