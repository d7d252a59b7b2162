// qmm-demo DIR — writes a demo party: a dozen short generated MP3 tracks with ID3v1 and ID3v2
// tags, a queue, a guest pool and a preset list, a web folder with the default fragments, and
// a settings file naming them all, ready for Settings > Player Mode > Load.
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "tags/ID3v1Tag.h"
#include "tags/ID3v2Tag.h"
#include "web/listener.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;

struct DemoTrack {
    const char* title;
    const char* artist;
    const char* album;
    const char* year;
    const char* genre;  // a name from the ID3v1 genre list
    double root;        // Hz, the key of the chord progression
    int bpm;
    int seconds;
    bool minor;
};

// Invented names; several carry accents so the pages show them.
constexpr DemoTrack kTracks[] = {
    {"Café del Sol", "Los Girasoles Eléctricos", "Noches de Verano", "2019", "Latin",
     220.00, 104, 30, false},
    {"Überall Lichter", "Die Nachtfalter", "Stadt am Fluss", "2021", "Pop", 246.94,
     116, 28, false},
    {"Señora Marea", "Coral Rojo", "Mareas", "2018", "Latin", 196.00, 96, 32, true},
    {"Midnight Harbor", "The Lantern Keepers", "Low Tide Stories", "2016", "Rock",
     164.81, 88, 26, true},
    {"Pommes frites à minuit", "Élodie Fontaine", "Petit déjeuner", "2022",
     "Pop", 261.63, 120, 24, false},
    {"Copper Skyline", "Northbound Static", "Copper Skyline", "2015", "Rock", 174.61,
     128, 34, false},
    {"Smörgåsbord Shuffle", "Åsa & the Ferrymen", "Archipelago", "2020", "Swing",
     233.08, 132, 27, false},
    {"Velvet Bicycle", "Marigold Avenue", "Sunday Errands", "2017", "Pop", 207.65, 100,
     30, true},
    {"Kaffeehaus-Walzer", "Quartett Grünewald", "Wiener Nächte", "2014", "Jazz",
     185.00, 90, 36, false},
    {"Neon Tangerine", "The Paper Satellites", "Orbit Club", "2023", "Dance", 277.18,
     124, 25, false},
    {"Crème brûlée Boogie", "Les Cuillères", "Dessert tardif", "2019", "Funk",
     155.56, 110, 29, true},
    {"São Paulo Sunrise", "Banda Açaí", "Avenida Sete", "2021", "Latin", 329.63, 98,
     33, false},
};

// Which tracks start in the queue, which are the DJ's presets; the guest pool holds them all.
constexpr int kQueue[] = {0, 3, 5, 8, 1};
constexpr int kPresets[] = {9, 6, 11, 2};

std::u16string U16(std::string_view utf8) { return platform::Utf8ToU16(utf8); }

// Two tracks that show the sound options: a quiet old master that ends in seconds of silence,
// and a loud new one. Leveling evens them out; no dead air skips the silence.
struct Mastering {
    int track;
    double gain;
    int silentSeconds;  // at the end, within the track's seconds
};
constexpr Mastering kMastering[] = {{3, 0.25, 6}, {9, 1.6, 0}};

// A few bars of plucked chords over a bass line: I-V-vi-IV in major, i-VI-III-VII in minor, so
// each track has its own key, tempo and colour and sounds like something.
std::vector<float> Synthesize(const DemoTrack& t, unsigned seed) {
    double gain = 1;
    int silent = 0;
    for (const Mastering& m : kMastering)
        if (&kTracks[m.track] == &t) gain = m.gain, silent = m.silentSeconds;
    const double music = t.seconds - silent;
    const size_t frames = static_cast<size_t>(t.seconds) * kRate;
    std::vector<float> out(frames * 2, 0.0f);
    const int major[4][3] = {{0, 4, 7}, {7, 11, 14}, {9, 12, 16}, {5, 9, 12}};
    const int minor[4][3] = {{0, 3, 7}, {8, 12, 15}, {3, 7, 10}, {10, 14, 17}};
    const auto& chords = t.minor ? minor : major;
    const double beat = 60.0 / t.bpm;
    std::mt19937 noise(seed);
    std::uniform_real_distribution<float> hiss(-1.0f, 1.0f);
    const double twoPi = 2.0 * std::numbers::pi;
    for (size_t i = 0; i < frames; ++i) {
        const double time = static_cast<double>(i) / kRate;
        const auto beatIndex = static_cast<long>(time / beat);
        const double inBeat = time - static_cast<double>(beatIndex) * beat;
        const int chord = static_cast<int>((beatIndex / 4) % 4);
        double left = 0, right = 0;
        const double pluck = std::exp(-inBeat * 5.0);
        for (int n = 0; n < 3; ++n) {
            const double f = t.root * std::pow(2.0, chords[chord][n] / 12.0);
            const double v = std::sin(twoPi * f * time) * pluck * 0.12;
            left += v * (1.0 - 0.3 * n);
            right += v * (0.4 + 0.3 * n);
        }
        const double bassFreq = t.root / 2 * std::pow(2.0, chords[chord][0] / 12.0);
        const double bass = std::sin(twoPi * bassFreq * time) * std::exp(-inBeat * 2.0) * 0.25;
        // A tick on every half beat keeps time.
        const double half = std::fmod(time, beat / 2);
        const double tick = half < 0.03 ? hiss(noise) * 0.05 * (1 - half / 0.03) : 0;
        // Half a second in, two seconds out, so the crossfades are heard.
        const double fade = gain * std::clamp(std::min({1.0, time / 0.5, (music - time) / 2.0}), 0.0, 1.0);
        out[2 * i] = static_cast<float>((left + bass + tick) * fade);
        out[2 * i + 1] = static_cast<float>((right + bass + tick) * fade);
    }
    return out;
}

bool WriteMp3(const fs::path& path, const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
        std::fprintf(stderr, "qmm-demo: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    // Constant bit rate: every player finds the same length.
    int mode = SF_BITRATE_MODE_CONSTANT;
    sf_command(f, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    double level = 0.6;
    sf_command(f, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    const auto frames = static_cast<sf_count_t>(samples.size() / 2);
    const bool ok = sf_writef_float(f, samples.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

bool TagFile(const fs::path& path, const DemoTrack& t, int number) {
    const std::u16string track = U16(std::to_string(number));
    tags::TID3v2Tag v2;
    v2.SetTitle(U16(t.title));
    v2.SetArtist(U16(t.artist));
    v2.SetAlbum(U16(t.album));
    v2.SetYear(U16(t.year));
    v2.SetTrack(track);
    v2.SetGenre(U16(t.genre));
    v2.SetAlwaysWriteUnicode(true);
    tags::TID3v1Tag v1;
    v1.SetTitle(U16(t.title));
    v1.SetArtist(U16(t.artist));
    v1.SetAlbum(U16(t.album));
    v1.SetYear(t.year);
    v1.SetTrack(track);
    v1.SetGenre(U16(t.genre));
    return v2.WriteToFile(path) == tags::MP3ERR_None && v1.WriteToFile(path) == tags::MP3ERR_None;
}

std::string MinSec(int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60 % 60, seconds % 60);
    return text;
}

// A playlist file as the program writes it: one section per row, eight keys.
void WriteList(const fs::path& path, const std::vector<int>& rows, const std::vector<fs::path>& files) {
    platform::IniWriter writer;
    int index = 0;
    for (int i : rows) {
        const DemoTrack& t = kTracks[i];
        writer.Section(U16(std::to_string(index++)));
        writer.Key(u"Status", u"ready");
        writer.Key(u"Title", U16(t.title));
        writer.Key(u"Artist", U16(t.artist));
        writer.Key(u"Album", U16(t.album));
        writer.Key(u"Year", U16(t.year));
        writer.Key(u"Time", U16(MinSec(t.seconds)));
        writer.Key(u"Src", u"File");
        writer.Key(u"FileName", U16(files[static_cast<size_t>(i)].string()));
    }
    writer.Save(path);
}

// The default web content, found as the program finds it: beside this program, or in the
// installed layout's share folder.
fs::path ShippedContent() {
    std::error_code ec;
    const fs::path dir = fs::read_symlink("/proc/self/exe", ec).parent_path();
    for (const fs::path& candidate : {dir, dir.parent_path() / "share" / "quorbel-media-mixer"}) {
        if (fs::is_directory(candidate / "basics", ec) && fs::is_directory(candidate / "htdocs", ec)) {
            return candidate;
        }
    }
    return {};
}

bool CopyWebContent(const fs::path& to) {
    const fs::path from = ShippedContent();
    if (from.empty()) {
        std::fprintf(stderr, "qmm-demo: the default web content (basics/, htdocs/) was not found beside "
                             "the program nor in ../share/quorbel-media-mixer/\n");
        return false;
    }
    std::error_code ec;
    for (const char* part : {"basics", "htdocs"}) {
        fs::create_directories(to / part, ec);
        fs::copy(from / part, to / part, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) {
            std::fprintf(stderr, "qmm-demo: cannot copy %s: %s\n", (from / part).c_str(), ec.message().c_str());
            return false;
        }
    }
    return true;
}

void WriteSettings(const fs::path& path, const fs::path& dir) {
    const std::pair<const char16_t*, std::u16string> values[] = {
        {u"fade", u"4"},
        {u"ffsec", u"6"},
        {u"playfile", U16((dir / "queue.lst").string())},
        {u"webfile", U16((dir / "guest-pool.lst").string())},
        {u"preselectfile", U16((dir / "presets.lst").string())},
        {u"htmlpath", U16((dir / "web").string())},
        {u"doBlock", u"1"},
        {u"blocknumber", u"3"},
        {u"rb_finish", u"1"},
        {u"rb_repeat", u"0"},
        {u"webselect", u"1"},
        {u"rb_web_first", u"0"},
        {u"rb_web_mix_preselect", u"1"},
        {u"preselect", u"1"},
        {u"rb_preset_1by1", u"1"},
        {u"rb_preset_random", u"0"},
        // The sound options, all on.
        {u"leveling", u"1"},
        {u"leveltarget", u"-14"},
        {u"crossfade", u"1"},
        {u"nodeadair", u"1"},
    };
    platform::IniWriter writer;
    writer.Section(u"standard");
    for (const auto& [key, value] : values) writer.Key(key, value);
    writer.Save(path);
}

// A folder that holds anything but an earlier demo is left alone: nothing of the user's is
// overwritten.
bool UsableFolder(const fs::path& dir) {
    std::error_code ec;
    if (!fs::exists(dir, ec)) return true;
    if (!fs::is_directory(dir, ec)) return false;
    return fs::is_empty(dir, ec) || fs::exists(dir / "party.stg", ec);
}

constexpr char kUsage[] =
    "Usage: qmm-demo DIR\n"
    "       qmm-demo --help | --version\n"
    "\n"
    "Writes a demo party for Quorbel Media Mixer into DIR (made when missing; it must be empty or\n"
    "hold an earlier demo): twelve short generated MP3 tracks with ID3v1 and ID3v2 tags in\n"
    "music/, a queue (queue.lst), a guest pool (guest-pool.lst), the DJ's presets (presets.lst),\n"
    "a web folder with the default page fragments (web/) and a settings file naming them all\n"
    "(party.stg, with even loudness, crossfade and no dead air on). Then start the program,\n"
    "choose Settings > Player Mode > Load, pick party.stg, OK, Webserver On, Play List. The guest\n"
    "address it prints uses QMM_WEB_PORT when that is set, as the program does.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("qmm-demo (Quorbel Media Mixer) " QMM_VERSION);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "%s\n", argc == 2 ? "qmm-demo: unknown option" : "Usage: qmm-demo DIR");
        std::fputs("Try 'qmm-demo --help'.\n", stderr);
        return 2;
    }
    std::error_code ec;
    const fs::path dir = fs::absolute(argv[1], ec).lexically_normal();
    if (ec || !UsableFolder(dir)) {
        std::fprintf(stderr, "qmm-demo: %s is not empty and holds no earlier demo; choose another folder\n",
                     dir.c_str());
        return 1;
    }
    fs::create_directories(dir / "music", ec);
    if (ec || !CopyWebContent(dir / "web")) {
        if (ec) std::fprintf(stderr, "qmm-demo: cannot make %s: %s\n", (dir / "music").c_str(), ec.message().c_str());
        return 1;
    }

    std::vector<fs::path> files;
    for (size_t i = 0; i < std::size(kTracks); ++i) {
        const DemoTrack& t = kTracks[i];
        // Accented file names too: links to them must work on the guests' pages.
        const std::string number = (i < 9 ? "0" : "") + std::to_string(i + 1) + " ";
        const fs::path file = dir / "music" / (number + t.title + ".mp3");
        std::printf("  %s\n", file.filename().c_str());
        std::fflush(stdout);
        if (!WriteMp3(file, Synthesize(t, static_cast<unsigned>(i + 1))) || !TagFile(file, t, static_cast<int>(i + 1))) {
            std::fprintf(stderr, "qmm-demo: cannot write %s\n", file.c_str());
            return 1;
        }
        files.push_back(file);
    }
    try {
        WriteList(dir / "queue.lst", std::vector<int>(std::begin(kQueue), std::end(kQueue)), files);
        std::vector<int> all(std::size(kTracks));
        for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
        WriteList(dir / "guest-pool.lst", all, files);
        WriteList(dir / "presets.lst", std::vector<int>(std::begin(kPresets), std::end(kPresets)), files);
        WriteSettings(dir / "party.stg", dir);
    } catch (const platform::WriteError& e) {
        std::fprintf(stderr, "qmm-demo: %s\n", e.what());
        return 1;
    }

    // The address the main window will show after "Server-IP:", on the port the program will use.
    std::string address = web::LocalIPAddress();
    if (address.empty() || address[0] < '0' || address[0] > '9') address = "127.0.0.1";
    int port = 7777;
    if (const char* named = std::getenv("QMM_WEB_PORT")) {
        // Read as the program reads it: a whole number (0x for hexadecimal), blanks around it.
        char* end = nullptr;
        const long value = std::strtol(named, &end, 0);
        while (end && *end == ' ') ++end;
        if (end != named && end && *end == '\0' && value > 0 && value < 65536) port = static_cast<int>(value);
    }
    std::printf(
        "\nThe demo party is in %s\n\n"
        "Next:\n"
        "  1. Start Quorbel Media Mixer.\n"
        "  2. Settings > Player Mode, press Load, choose %s, press OK.\n"
        "  3. Webserver On (in the menu bar), then press Play List.\n"
        "  4. On a phone in the same network open http://%s:%d/\n"
        "     (the main window shows it after Server-IP).\n",
        dir.c_str(), (dir / "party.stg").c_str(), address.c_str(), port);
    return 0;
}
