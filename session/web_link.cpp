// The web server's link to the party.
#include "session/web_link.h"

#include <QDir>
#include <QFileInfo>

#include "platform/scope_exit.h"
#include "platform/user_interface.h"

namespace session {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
QStringList Qs(const std::vector<std::string>& lines) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) out << Q(line);
    return out;
}
}  // namespace

WebLink::WebLink(platform::IDispatcher& ui, QString programFolder, SelectFn select, DeliverFn deliver)
    : ui_(ui),
      programFolder_(std::move(programFolder)),
      select_(std::move(select)),
      lines_(ui, [deliver = std::move(deliver)](const platform::LineBatch::Lines& lines) {
          deliver(Qs(lines.details), Qs(lines.log));
      }) {}

std::string WebLink::DocumentFolder() {
    std::lock_guard lock(mutex_);
    if (documentFolder_.empty()) return programFolder_.toStdString();
    return documentFolder_;
}

void WebLink::SetWebRoot(const QString& webRoot) {
    const QString htdocs = QDir(webRoot).filePath(QStringLiteral("htdocs"));
    const QString folder = QFileInfo(htdocs).isDir() ? htdocs : webRoot;
    std::lock_guard lock(mutex_);
    documentFolder_ = folder.toStdString();
}

std::optional<std::string> WebLink::Select(const std::string& host, const std::string& time,
                                           const std::string& path) {
    inSelect_ = true;
    const platform::ScopeExit reset([this] { inSelect_ = false; });
    try {
        return select_(Q(host), Q(time), Q(path));
    } catch (const std::exception& e) {
        Show(QString::fromUtf8(e.what()), true);
    } catch (...) {
        Show(QStringLiteral("Unknown error"), true);
    }
    return std::nullopt;
}

void WebLink::Log(const std::string& line) { lines_.Add({}, {line}); }

void WebLink::Details(const std::string& line) { lines_.Add({line}, {}); }

void WebLink::Lines(const std::vector<std::string>& details, const std::vector<std::string>& log) {
    lines_.Add(details, log);
}

void WebLink::Show(const QString& text, bool error) {
    const auto show = [text, error] {
        if (error)
            platform::UserInterface().ShowError(text.toStdU16String());
        else
            platform::UserInterface().ShowMessage(text.toStdU16String());
    };
    if (!inSelect_) return show();
    if (waiting_.contains(text)) return;
    waiting_.insert(text);
    ui_.Post([this, text, show] {
        show();
        waiting_.remove(text);
    });
}

}  // namespace session
