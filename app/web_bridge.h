#pragma once
// What the guests' web server reaches of the main window: the document folder, select requests
// and the log lines; and the plain snapshots of the lists that the page generator works from.
#include <QSet>
#include <QString>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/line_batch.h"
#include "ui/track_list_view.h"
#include "web/pages.h"
#include "web/web_host.h"

namespace app {

class TForm1;

class WebBridge : public web::WebHost {
public:
    // Lines from the listener's threads reach the window through `ui`, gathered.
    WebBridge(TForm1& form, platform::IDispatcher& ui);

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

    static std::vector<web::PageRow> Snapshot(const tracks::TrackList& list);
    // Log lines go to the log; messages to a message box (later, while a select is handled).
    web::PageSink Sink();

private:
    void Show(const QString& text, bool error);

    TForm1& form_;
    std::mutex mutex_;
    std::string documentFolder_;
    bool inSelect_ = false;
    QSet<QString> waiting_;  // texts of boxes queued by select requests, not shown yet
    platform::LineBatch lines_;
};

}  // namespace app
