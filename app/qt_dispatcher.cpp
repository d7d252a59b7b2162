#include "app/qt_dispatcher.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <future>

#include "platform/errors.h"
#include "platform/guard.h"

namespace app {

QtDispatcher::QtDispatcher() : context_(std::make_unique<QObject>()) {}

QtDispatcher::~QtDispatcher() { Close(); }

void QtDispatcher::Close() {
    std::unique_ptr<QObject> context;
    {
        std::lock_guard lock(mutex_);
        context = std::move(context_);
    }
    // Deleting the context drops the queued calls; their promises break and the waiters return.
    context.reset();
}

void QtDispatcher::RunBlocking(const std::function<void()>& work) {
    std::future<void> done;
    {
        std::lock_guard lock(mutex_);
        if (!context_) throw platform::Error("The program is closing");
        if (QThread::currentThread() == context_->thread()) {
            // Already on the user-interface thread: waiting for ourselves would never end.
            done = std::async(std::launch::deferred, work);
        } else {
            auto promise = std::make_shared<std::promise<void>>();
            done = promise->get_future();
            QMetaObject::invokeMethod(
                context_.get(),
                [promise, work]() {
                    try {
                        work();
                        promise->set_value();
                    } catch (...) {
                        promise->set_exception(std::current_exception());
                    }
                },
                Qt::QueuedConnection);
        }
    }
    try {
        done.get();
    } catch (const std::future_error&) {
        throw platform::Error("The program is closing");
    }
}

void QtDispatcher::Post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    if (!context_) return;
    QMetaObject::invokeMethod(
        context_.get(), [work = std::move(work)]() { platform::Guarded(work); }, Qt::QueuedConnection);
}

void QtDispatcher::PostAfter(std::chrono::milliseconds delay, std::function<void()> work) {
    if (delay.count() <= 0) return Post(std::move(work));
    std::lock_guard lock(mutex_);
    if (!context_) return;
    // The timer starts on the user-interface thread, where the context lives; deleting the context
    // drops it with the call.
    QObject* context = context_.get();
    QMetaObject::invokeMethod(
        context,
        [context, delay, work = std::move(work)]() mutable {
            QTimer::singleShot(delay, context, [work = std::move(work)]() { platform::Guarded(work); });
        },
        Qt::QueuedConnection);
}

}  // namespace app
