// A small web server on 127.0.0.1 for the update check's tests: it serves
// fixture pages by path, answers 404 for the rest, counts the requests and
// answers of each path and can hold a path's answer until told to go on.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace vestrel::gui {

class PageServer {
  public:
    PageServer();
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    bool Started() const { return port_ != 0; }
    // "http://127.0.0.1:PORT" + path.
    std::wstring Address(const std::string& path) const;

    // The page served at the path (the query is ignored); other paths 404.
    void Serve(const std::string& path, const std::string& body);
    // Answers to the path wait until Release().
    void Hold(const std::string& path);
    void Release();
    int Requests(const std::string& path);
    // Answers to the path sent whole.
    int Answered(const std::string& path);

  private:
    void Run();
    void Answer(uintptr_t client);

    uintptr_t listener_ = ~uintptr_t{0};  // a SOCKET
    unsigned short port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, std::string> pages_;
    std::map<std::string, int> requests_;
    std::map<std::string, int> answered_;
    std::string held_;
    bool stopping_ = false;
};

}  // namespace vestrel::gui
