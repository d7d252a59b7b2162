#pragma once
// Hands work from listener threads to Qt's main thread.
#include <QObject>
#include <memory>
#include <mutex>

#include "platform/dispatcher.h"

namespace app {

class QtDispatcher : public platform::IDispatcher {
public:
    QtDispatcher();  // construct on the user-interface thread
    ~QtDispatcher() override;

    // Waits until the work has run on the user-interface thread and rethrows what it threw.
    // Throws platform::Error when the dispatcher closes before the work could run, so a waiting
    // thread is never left hanging.
    void RunBlocking(const std::function<void()>& work) override;
    // Queues the work; an exception it throws is shown like one from any handler.
    void Post(std::function<void()> work) override;
    void PostAfter(std::chrono::milliseconds delay, std::function<void()> work) override;
    // Refuses further work and releases every waiting thread.
    void Close();

private:
    std::mutex mutex_;
    std::unique_ptr<QObject> context_;  // lives on the user-interface thread
};

}  // namespace app
