#include "app/web_bridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

#include "app/main_window.h"
#include "platform/scope_exit.h"
#include "platform/user_interface.h"

namespace app {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string U(const QString& s) { return s.toStdString(); }
}  // namespace

WebBridge::WebBridge(TForm1& form, platform::IDispatcher& ui)
    : form_(form), lines_(ui, [this](const platform::LineBatch::Lines& lines) {
          QStringList details, log;
          for (const auto& line : lines.details) details << Q(line);
          for (const auto& line : lines.log) log << Q(line);
          form_.AddDetailsLines(details);
          form_.AddLogLines(log);
      }) {}

std::string WebBridge::DocumentFolder() {
    std::lock_guard lock(mutex_);
    if (documentFolder_.empty()) return U(QCoreApplication::applicationDirPath());
    return documentFolder_;
}

void WebBridge::SetWebRoot(const QString& webRoot) {
    const QString htdocs = QDir(webRoot).filePath(QStringLiteral("htdocs"));
    const QString folder = QFileInfo(htdocs).isDir() ? htdocs : webRoot;
    std::lock_guard lock(mutex_);
    documentFolder_ = U(folder);
}

std::optional<std::string> WebBridge::Select(const std::string& host, const std::string& time,
                                             const std::string& path) {
    inSelect_ = true;
    const platform::ScopeExit reset([this] { inSelect_ = false; });
    const auto guarded = [this](auto&& step) {
        try {
            step();
            return true;
        } catch (const std::exception& e) {
            Show(QString::fromUtf8(e.what()), true);
        } catch (...) {
            Show(QStringLiteral("Unknown error"), true);
        }
        return false;
    };
    // A queue change of the last moment counts: the request is decided on the words as they are.
    guarded([&] { form_.FollowLists(); });
    std::string page;
    if (!guarded([&] { page = form_.HandleSelect(Q(host), Q(time), Q(path)); })) return std::nullopt;
    // The guest gets the answer even when the pages that follow cannot be made.
    if (guarded([&] {
            form_.UpdateQueueStates();
            form_.UpdatePoolStates();
            form_.MakeGuestPoolHTML();
        }))
        form_.PoolFollowed();
    return page;
}

void WebBridge::Log(const std::string& line) { lines_.Add({}, {line}); }

void WebBridge::Details(const std::string& line) { lines_.Add({line}, {}); }

void WebBridge::Lines(const std::vector<std::string>& details, const std::vector<std::string>& log) {
    lines_.Add(details, log);
}

std::vector<web::PageRow> WebBridge::Snapshot(const tracks::TrackList& list) {
    std::vector<web::PageRow> rows;
    rows.reserve(static_cast<size_t>(list.Count()));
    for (const tracks::TrackRow& r : list.Rows())
        rows.push_back({U(r.Status), U(r.Title), U(r.Artist), U(r.Album), U(r.FileName)});
    return rows;
}

web::PageSink WebBridge::Sink() {
    web::PageSink sink;
    sink.log = [this](const std::string& line) { form_.AddLog(Q(line)); };
    sink.message = [this](const std::string& text) { Show(Q(text), false); };
    return sink;
}

void WebBridge::Show(const QString& text, bool error) {
    const auto show = [text, error] {
        if (error)
            platform::UserInterface().ShowError(text.toStdU16String());
        else
            platform::UserInterface().ShowMessage(text.toStdU16String());
    };
    if (!inSelect_) return show();
    // One box for a fault that every guest's request meets while the first box is still to come
    // or open.
    if (waiting_.contains(text)) return;
    waiting_.insert(text);
    QMetaObject::invokeMethod(
        &form_,
        [this, text, show] {
            show();
            waiting_.remove(text);
        },
        Qt::QueuedConnection);
}

}  // namespace app
