#pragma once
// What the guests' web server reaches of the party: the document folder, select requests and
// the log lines. Qt-free at its edge (web::WebHost); everything it does happens on the
// user-interface thread through the dispatcher.
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/line_batch.h"
#include "web/pages.h"
#include "web/web_host.h"

namespace session {

class WebLink : public web::WebHost {
public:
    // The answer page to a select request; may throw, then the guest gets no answer.
    using SelectFn = std::function<std::string(const QString& host, const QString& time, const QString& path)>;
    // Lines for the details box and the log, on the user-interface thread.
    using DeliverFn = std::function<void(const QStringList& details, const QStringList& log)>;

    WebLink(platform::IDispatcher& ui, QString programFolder, SelectFn select, DeliverFn deliver);

    // Any thread: the folder last set by SetWebRoot (the program's folder until then).
    std::string DocumentFolder() override;
    // User-interface thread, while a worker waits: nothing here may open a box that waits for
    // the DJ, so messages and errors are shown only after the answer has been handed back.
    std::optional<std::string> Select(const std::string& host, const std::string& time,
                                      const std::string& path) override;
    // Any thread: gathered and handed to the window at most every 100 ms, in bounded batches.
    void Log(const std::string& line) override;
    void Details(const std::string& line) override;
    void Lines(const std::vector<std::string>& details, const std::vector<std::string>& log) override;

    // User-interface thread: the web content folder now in force.
    void SetWebRoot(const QString& webRoot);
    // A message or error box: now, or once the select at hand has been answered (one box for a
    // fault every guest's request meets while the first box is still to come).
    void Show(const QString& text, bool error);

private:
    platform::IDispatcher& ui_;
    QString programFolder_;
    SelectFn select_;
    std::mutex mutex_;
    std::string documentFolder_;
    bool inSelect_ = false;
    QSet<QString> waiting_;  // texts of boxes queued by select requests, not shown yet
    platform::LineBatch lines_;
};

}  // namespace session
