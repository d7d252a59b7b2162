// Adding tracks with their details to a list, and removing the selected row.
#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QSignalBlocker>
#include <optional>

#include "app/main_window.h"
#include "platform/user_interface.h"
#include "tags/TagStream.h"
#include "tracks/time_format.h"

namespace app {

using tracks::siFileName;

namespace {

// A directory is no audio file.
bool FileExists(const QString& path) {
    const QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
}

QString OrNA(const std::u16string& text) {
    return text.empty() ? QStringLiteral("n/a") : QString::fromStdU16String(text);
}

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

// The paths of a list's rows, for the duplicate check: a batch of a thousand files would
// otherwise scan the list once per file. Rows this index appends keep it current; any other
// change to the list marks it stale and the next lookup reads the rows again.
class PathIndex : public QObject {
public:
    static PathIndex& Of(TListView* list) {
        static const QString name = QStringLiteral("qmm_path_index");
        if (auto* found = list->findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
            return *static_cast<PathIndex*>(found);
        auto* index = new PathIndex(list);
        index->setObjectName(name);
        return *index;
    }

    bool Contains(const QString& path) {
        if (stale_) Rebuild();
        return paths_.contains(path);
    }

    void Append(const tracks::TrackRow& row) {
        const bool wasStale = stale_;
        own_ = true;
        list_->AppendRow(row);
        own_ = false;
        if (!wasStale && !stale_) paths_.insert(row.FileName);
    }

private:
    explicit PathIndex(TListView* list) : QObject(list), list_(list) {
        const QAbstractItemModel* m = list->model();
        const auto stale = [this] {
            if (!own_) stale_ = true;
        };
        connect(m, &QAbstractItemModel::rowsInserted, this, stale);
        connect(m, &QAbstractItemModel::rowsRemoved, this, stale);
        connect(m, &QAbstractItemModel::rowsMoved, this, stale);
        connect(m, &QAbstractItemModel::dataChanged, this, stale);
        connect(m, &QAbstractItemModel::layoutChanged, this, stale);
        connect(m, &QAbstractItemModel::modelReset, this, stale);
    }

    void Rebuild() {
        paths_.clear();
        for (int i = 0; i < list_->Count(); ++i) paths_.insert(list_->SubItem(i, siFileName));
        stale_ = false;
    }

    TListView* list_;
    QSet<QString> paths_;
    bool stale_ = true, own_ = false;
};

// Repainting costs more than probing a file: during a quick run of probes the window is
// brought up to date at most this often (milliseconds).
constexpr int kRefreshMs = 50;

// Set while a dialog batch is being added: the feeding timers, which add to and trim the queue
// from their ticks, must not run while the window lets pending events through between files.
int batchDepth = 0;

}  // namespace

void TForm1::ProbeTrack(const QString& path) {
    if (!FileExists(path)) return;
    SetStatusPanel(4, Text(u"str_check") + QStringLiteral(": ") + path);
    static QElapsedTimer sincePaint;
    if (!sincePaint.isValid() || sincePaint.elapsed() >= kRefreshMs) {
        if (QWidget* panel = StatusPanels[4]) panel->repaint();
        sincePaint.start();
    }

    {
        tags::TFileStream stream(ToPath(path), tags::fmOpenRead);  // throws when it cannot be opened
        ID3v2Reader->ReadFromStream(stream);
        stream.SetPosition(ID3v2Reader->Exists() ? static_cast<int64_t>(ID3v2Reader->Size()) : 0);
        MpegReader->LoadFromStream(stream);
        ID3v1Reader->ReadFromStream(stream);
    }

    MediaPlayer3->SetFileName(path);
    MediaPlayer3->Open();
    ProbeLength = MediaPlayer3->Length();
    MediaPlayer3->Close();
}

void TForm1::AddTrack(TListView* list, const QString& path, const QString& source) {
    PathIndex& index = PathIndex::Of(list);
    if (path == QStringLiteral("-") || index.Contains(path)) return;
    // A path without a file is not probed; it must not inherit the previous file's details.
    ID3v1Reader->Clear();
    ProbeLength = 0;
    ProbeTrack(path);

    tracks::TrackRow row;
    if (FileExists(path)) row.Status = Text(u"st_ready");
    row.Title = OrNA(ID3v1Reader->Title());
    row.Artist = OrNA(ID3v1Reader->Artist());
    row.Album = OrNA(ID3v1Reader->Album());
    QString year = QString::fromStdU16String(ID3v1Reader->YearText());
    year.remove(QChar(0));
    row.Year = year.isEmpty() ? QStringLiteral("####") : year;
    row.Time = tracks::FormatMinSec(ProbeLength);
    row.Src = source;
    row.FileName = path;
    index.Append(row);
}

void TForm1::AddFilesDialog(TListView* list) {
    platform::FileDialogOptions options;
    options.title = u"Audio-Datei w\u00e4hlen";
    options.filter = u"MP3-Audio (*.mp3)|*.mp3|WAV-Audio (*.wav)|*.wav";
    options.defaultExt = u"*.mp3";
    options.multiSelect = true;
    const std::vector<std::u16string> files = platform::UserInterface().OpenFiles(options);
    if (files.empty()) return;

    {
        ++batchDepth;
        struct Done {
            ~Done() { --batchDepth; }
        } done;
        const QSignalBlocker block2(Timer2), block3(Timer3);
        const QString source = Text(u"str_file");
        QElapsedTimer sinceEvents;
        for (const std::u16string& file : files) {
            AddTrack(list, QString::fromStdU16String(file), source);
            // Keep the window drawn and the playback tick running during a long batch; user
            // input waits until the batch is done, so nothing else changes the lists meanwhile.
            if (files.size() > 1 && (!sinceEvents.isValid() || sinceEvents.elapsed() >= kRefreshMs)) {
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                sinceEvents.start();
            }
        }
    }

    SetControlState(1);
    if (CheckWebConfig()) {
        SetStatusPanel(1, Text(u"H22"));
        M70->setEnabled(true);
        Button_PlayList->setEnabled(true);
        MakeHTML();
        MakeGuestPoolHTML();
    } else {
        SetStatusPanel(1, Text(u"H21"));
        M70->setEnabled(false);
    }
    UpdateQueueStates();
}

void TForm1::M11Click() {
    if (batchDepth > 0) return;
    AddFilesDialog(ListView_soon);
    SetStatusPanel(2, QString());
}

void TForm1::pop1Click() {
    if (batchDepth > 0 || !PopupList) return;
    AddFilesDialog(PopupList);
    RefreshAllListStates();
    ShowWebConfigAndMakePages();
    SetControlState(3);
    SetStatusPanel(4, QString());
}

void TForm1::RemoveSelected(TListView* list) {
    const int selected = list->SelectedIndex();
    if (selected < 0) return;
    if (list != ListView_soon) {
        list->DeleteRow(selected);
        return;
    }
    // The current row may already be gone (cleared list): then there is no current track.
    const std::optional<QString> current = Player->CurrentFile();
    list->DeleteRow(selected);
    Player->FindCurrentAgain(current);
}

void TForm1::pop2Click() {
    if (batchDepth > 0) return;
    if (PopupList == ListView_soon || PopupList == ListView_preselect) RemoveSelected(PopupList);
    if (ListView_soon->Count() > 0) ListView_soon->ScrollToLast();
}

}  // namespace app
