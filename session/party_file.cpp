// The saved party as a JSON file: writing, reading with every value checked, setting aside what
// cannot be read, the folder lock and the save debouncer.
#include "session/party_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/text_codec.h"

namespace session {

namespace {

constexpr char kFormat[] = "quorbel-media-mixer party";
constexpr int kVersion = 1;
// Far beyond any night's lists; a bigger file is not ours.
constexpr size_t kMaxBytes = 128u << 20;

const char* const kListNames[] = {"queue", "requests", "guestPool", "presets"};
const char* const kRowKeys[] = {"Status", "Title", "Artist", "Album", "Year", "Time", "Src", "FileName"};

template <class Party>
auto Lists(Party& p) {
    return std::array{&p.queue, &p.requests, &p.guestPool, &p.presets};
}

// The settings record field by field; one table for writing and reading keeps the two alike.
using Rec = settings::TSetRec;
// `later`: the field came after the format's first files, which lack it; it keeps its start value.
struct IntField {
    const char* key;
    int min, max;
    int (*get)(const Rec&);
    void (*set)(Rec&, int);
    bool later = false;
};
const IntField kIntFields[] = {
    {"FadeSec", 0, 15, [](const Rec& r) { return int(r.FadeSec); }, [](Rec& r, int v) { r.FadeSec = uint8_t(v); }},
    {"FFsec", 0, 255, [](const Rec& r) { return int(r.FFsec); }, [](Rec& r, int v) { r.FFsec = uint8_t(v); }},
    {"number_block", 0, 100, [](const Rec& r) { return int(r.number_block); },
     [](Rec& r, int v) { r.number_block = v; }},
    {"RequestsPerGuest", 0, 1000000, [](const Rec& r) { return int(r.RequestsPerGuest); },
     [](Rec& r, int v) { r.RequestsPerGuest = v; }},
    {"LevelTarget", settings::kLevelTargetMin, settings::kLevelTargetMax, [](const Rec& r) { return int(r.LevelTarget); },
     [](Rec& r, int v) { r.LevelTarget = v; }, true},
};

struct BoolField {
    const char* key;
    bool Rec::*field;
    bool later = false;
};
const BoolField kBoolFields[] = {
    {"RB_finish", &Rec::RB_finish},
    {"RB_restart", &Rec::RB_restart},
    {"CB_block", &Rec::CB_block},
    {"CB_Guest", &Rec::CB_Guest},
    {"RB_web_first", &Rec::RB_web_first},
    {"RB_web_mix_preselect", &Rec::RB_web_mix_preselect},
    {"CB_preset", &Rec::CB_preset},
    {"RB_preset_1by1", &Rec::RB_preset_1by1},
    {"RB_preset_random", &Rec::RB_preset_random},
    {"CB_artist_apart", &Rec::CB_artist_apart},
    {"CB_leveling", &Rec::CB_leveling, true},
    {"CB_crossfade", &Rec::CB_crossfade, true},
    {"CB_no_dead_air", &Rec::CB_no_dead_air, true},
};

struct TextField {
    const char* key;
    QString Rec::*field;
};
const TextField kTextFields[] = {
    {"StdPlayList", &Rec::StdPlayList},
    {"StdWebList", &Rec::StdWebList},
    {"StdPresetList", &Rec::StdPresetList},
    {"HTMLpath", &Rec::HTMLpath},
};

QString Key(const char* key) { return QString::fromLatin1(key); }

QString Word(const platform::DisplayTexts& texts, std::u16string_view key, const QString& english) {
    const std::u16string word = texts.Get(key);
    return word.empty() ? english : QString::fromStdU16String(word);
}

// Reading: anything of the wrong kind makes the whole file unreadable; a number out of range is
// a damaged file too, since this program never writes one.
struct Reader {
    bool ok = true;

    QJsonObject Object(const QJsonValue& v) {
        if (!v.isObject()) ok = false;
        return v.toObject();
    }
    QJsonArray Array(const QJsonValue& v) {
        if (!v.isArray()) ok = false;
        return v.toArray();
    }
    QString Text(const QJsonValue& v) {
        if (!v.isString()) ok = false;
        return v.toString();
    }
    bool Bool(const QJsonValue& v) {
        if (!v.isBool()) ok = false;
        return v.toBool();
    }
    int Int(const QJsonValue& v, int min, int max) {
        const double d = v.toDouble();
        if (!v.isDouble() || !(d >= min && d <= max) || d != std::floor(d)) {
            ok = false;
            return min;
        }
        return static_cast<int>(d);
    }
};

PartyLoad Unreadable(const QString& reason) {
    PartyLoad load;
    load.state = PartyState::Unreadable;
    load.message = reason;
    return load;
}

// A free name beside `file` for keeping it: party-unreadable-<when>[-n].json.
std::filesystem::path SetAsideName(const std::filesystem::path& file) {
    const std::string stem =
        "party-unreadable-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    std::error_code ec;
    for (int n = 1;; ++n) {
        const std::filesystem::path candidate =
            file.parent_path() / (stem + (n > 1 ? "-" + std::to_string(n) : std::string()) + ".json");
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec))) return candidate;
    }
}

}  // namespace

PartyTexts PartyTextsFrom(const platform::DisplayTexts& texts) {
    PartyTexts t;
    t.damaged = Word(texts, u"party_damaged", t.damaged);
    t.older = Word(texts, u"party_older", t.older);
    t.newer = Word(texts, u"party_newer", t.newer);
    t.setAside = Word(texts, u"party_set_aside", t.setAside);
    t.notSetAside = Word(texts, u"party_not_set_aside", t.notSetAside);
    return t;
}

std::string PartyBytes(const PartySnapshot& party) {
    QJsonObject root;
    root.insert(Key("format"), Key(kFormat));
    root.insert(Key("version"), kVersion);
    root.insert(Key("savedAt"), party.savedAt.toString(Qt::ISODate));
    root.insert(Key("language"), party.language);
    root.insert(Key("webServerOn"), party.webServerOn);
    root.insert(Key("current"), party.current);

    QJsonObject s;
    for (const IntField& f : kIntFields) s.insert(Key(f.key), f.get(party.settings));
    for (const BoolField& f : kBoolFields) s.insert(Key(f.key), party.settings.*f.field);
    for (const TextField& f : kTextFields) s.insert(Key(f.key), party.settings.*f.field);
    s.insert(Key("FFsecText"), party.settings.FFsecText);
    root.insert(Key("settings"), s);

    for (size_t l = 0; l < std::size(kListNames); ++l) {
        QJsonArray rows;
        for (const tracks::TrackRow& row : *Lists(party)[l]) {
            QJsonObject r;
            for (int c = 0; c < 8; ++c) r.insert(Key(kRowKeys[c]), row.Column(c));
            rows.append(r);
        }
        root.insert(Key(kListNames[l]), rows);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString();
}

PartyLoad ParseParty(std::string_view bytes, const PartyTexts& texts) {
    if (bytes.size() > kMaxBytes) return Unreadable(texts.damaged);
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return Unreadable(texts.damaged);
    const QJsonObject root = doc.object();
    if (root.value(Key("format")).toString() != Key(kFormat)) return Unreadable(texts.damaged);
    const QJsonValue version = root.value(Key("version"));
    if (!version.isDouble()) return Unreadable(texts.damaged);
    if (version.toDouble() < kVersion) return Unreadable(texts.older);
    if (version.toDouble() > kVersion) return Unreadable(texts.newer);

    Reader in;
    PartyLoad load;
    load.state = PartyState::Readable;
    PartySnapshot& p = load.party;
    p.savedAt = QDateTime::fromString(in.Text(root.value(Key("savedAt"))), Qt::ISODate);
    p.language = in.Text(root.value(Key("language")));
    p.webServerOn = in.Bool(root.value(Key("webServerOn")));

    const QJsonObject s = in.Object(root.value(Key("settings")));
    for (const IntField& f : kIntFields)
        if (const QJsonValue v = s.value(Key(f.key)); !(f.later && v.isUndefined())) f.set(p.settings, in.Int(v, f.min, f.max));
    for (const BoolField& f : kBoolFields)
        if (const QJsonValue v = s.value(Key(f.key)); !(f.later && v.isUndefined())) p.settings.*f.field = in.Bool(v);
    for (const TextField& f : kTextFields) p.settings.*f.field = in.Text(s.value(Key(f.key)));
    // The jump length as typed came later; a file without it has the number only.
    const QJsonValue jump = s.value(Key("FFsecText"));
    p.settings.FFsecText = jump.isUndefined() ? QString::number(p.settings.FFsec) : in.Text(jump);

    for (size_t l = 0; l < std::size(kListNames); ++l) {
        const QJsonArray rows = in.Array(root.value(Key(kListNames[l])));
        std::vector<tracks::TrackRow>& list = *Lists(p)[l];
        list.reserve(static_cast<size_t>(rows.size()));
        for (const QJsonValue& value : rows) {
            const QJsonObject r = in.Object(value);
            tracks::TrackRow row;
            row.Status = in.Text(r.value(Key(kRowKeys[0])));
            for (int sub = 0; sub < 7; ++sub) row.SubItem(sub) = in.Text(r.value(Key(kRowKeys[sub + 1])));
            list.push_back(std::move(row));
        }
    }
    // A current row that names no row of the queue means none.
    p.current = in.Int(root.value(Key("current")), -1, std::numeric_limits<int>::max());
    if (p.current >= static_cast<int>(p.queue.size())) p.current = -1;
    if (!in.ok) return Unreadable(texts.damaged);
    return load;
}

PartyFile::PartyFile(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::error_code ec;
    if (folder_.empty()) return;
    std::filesystem::create_directories(folder_, ec);
    const std::filesystem::path lock = folder_ / "party.lock";
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // The lock goes with the open file: a crashed program leaves none behind.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    lock_ = fd;
}

PartyFile::~PartyFile() {
    if (lock_ >= 0) ::close(lock_);
}

PartyLoad PartyFile::Load(const PartyTexts& texts) const {
    if (!Owned()) return {};
    const std::filesystem::path file = FilePath();
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) return {};
    const std::optional<std::string> bytes = platform::ReadBinaryFile(file);
    PartyLoad load = bytes ? ParseParty(*bytes, texts) : Unreadable(texts.damaged);
    if (load.state != PartyState::Unreadable) return load;

    const QString reason = load.message;
    const std::filesystem::path kept = SetAsideName(file);
    std::filesystem::rename(file, kept, ec);
    load.keptAs = ec ? file : kept;
    load.message = (ec ? texts.notSetAside : texts.setAside)
                       .arg(reason, QString::fromStdU16String(platform::PathToU16(load.keptAs)));
    return load;
}

void PartyFile::Save(const PartySnapshot& party) const {
    if (!Owned()) return;
    PartySnapshot stamped = party;
    stamped.savedAt = QDateTime::currentDateTime();
    if (stamped.current < -1 || stamped.current >= static_cast<int>(stamped.queue.size())) stamped.current = -1;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);  // removed while the program ran
    platform::WriteFileAtomic(FilePath(), PartyBytes(stamped));
}

SaveDebouncer::SaveDebouncer(Save save, Schedule schedule, Clock now, std::chrono::milliseconds gap)
    : save_(std::move(save)), schedule_(std::move(schedule)), now_(std::move(now)), gap_(gap) {}

std::chrono::milliseconds SaveDebouncer::SteadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

void SaveDebouncer::Changed() {
    if (pending_) return;  // the save that waits will take this change too
    pending_ = true;
    const std::chrono::milliseconds now = now_();
    due_ = saved_ ? std::max(now, last_ + gap_) : now;
    Arm();
}

void SaveDebouncer::Arm() { schedule_(std::max(std::chrono::milliseconds(0), due_ - now_())); }

void SaveDebouncer::Fire() {
    if (!pending_) return;
    const std::chrono::milliseconds now = now_();
    if (now < due_) {
        Arm();
        return;
    }
    pending_ = false;
    saved_ = true;
    last_ = now;
    if (!save_()) {
        // Tried again a gap later, so a full disk costs one try a second, not a try per change.
        pending_ = true;
        due_ = now + gap_;
        Arm();
    }
}

void SaveDebouncer::Flush() {
    if (!pending_) return;
    pending_ = false;
    saved_ = true;
    last_ = now_();
    save_();
}

}  // namespace session
