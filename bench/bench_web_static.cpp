// Serves a folder through the guests' web server for load tools: the real listener, a host that
// hands log and details lines to a thread of its own as the window's thread would take them.
//   bench_web_static FOLDER [--folder-from-ui]   prints the port, serves until its input closes
// --folder-from-ui fetches the document folder through the user-interface thread per request,
// to weigh that against the host's thread-safe copy.
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/dispatcher.h"
#include "web/listener.h"

namespace {

// One thread that runs queued work in order, standing for the user-interface thread.
class ThreadDispatcher : public platform::IDispatcher {
public:
    ThreadDispatcher() : thread_([this] { Run(); }) {}
    ~ThreadDispatcher() override {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void RunBlocking(const std::function<void()>& work) override {
        std::mutex doneMutex;
        std::condition_variable doneChanged;
        bool finished = false;
        Post([&] {
            work();
            std::lock_guard lock(doneMutex);
            finished = true;
            doneChanged.notify_all();
        });
        std::unique_lock lock(doneMutex);
        doneChanged.wait(lock, [&] { return finished; });
    }
    void Post(std::function<void()> work) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
        }
        changed_.notify_one();
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return done_ || !queue_.empty(); });
            if (queue_.empty()) return;
            auto work = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    bool done_ = false;
    std::thread thread_;
};

class StaticHost : public web::WebHost {
public:
    StaticHost(std::string folder, platform::IDispatcher* ui) : folder_(std::move(folder)), ui_(ui) {}
    std::string DocumentFolder() override {
        if (!ui_) return folder_;
        std::string folder;
        ui_->RunBlocking([&] { folder = folder_; });
        return folder;
    }
    std::optional<std::string> Select(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void Log(const std::string& line) override { logged_ += line.size(); }
    void Details(const std::string& line) override { logged_ += line.size(); }

private:
    const std::string folder_;
    platform::IDispatcher* ui_;
    std::size_t logged_ = 0;  // touched on the dispatcher's thread only
};

}  // namespace

int main(int argc, char** argv) {
    const bool folderFromUi = argc == 3 && std::string(argv[2]) == "--folder-from-ui";
    if (argc != 2 && !folderFromUi) {
        std::cerr << "usage: bench_web_static FOLDER [--folder-from-ui]\n";
        return 2;
    }
    ThreadDispatcher ui;
    StaticHost host(argv[1], folderFromUi ? &ui : nullptr);
    web::Listener listener(host, ui);
    std::string error;
    if (!listener.Start(0, &error)) {
        std::cerr << error << "\n";
        return 1;
    }
    std::cout << listener.Port() << std::endl;
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    return 0;
}
