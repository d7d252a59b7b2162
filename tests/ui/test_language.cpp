// The shipped language files and the banner window on its own: every key in every file, no two
// commands of one menu or dialog on the same access key, edge snapping, and the two lines.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QSet>

#include "platform/ini_file.h"
#include "tests/support/qt_app.h"
#include "ui/info_box.h"
#include "ui/language.h"

namespace {

std::filesystem::path Shipped(const char* code) {
    return std::filesystem::path(QMM_SOURCE_DIR) / "resources" / "lang" / (std::string(code) + ".lng");
}

// The letter after a single ampersand, lower-cased; 0 when the caption has none.
QChar AccessKey(const std::u16string& caption) {
    const QString text = QString::fromStdU16String(caption);
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return QChar();
}

TEST(LanguageFiles, EveryShippedFileHoldsEveryKeyAndNoMenuSharesAnAccessKey) {
    const std::u16string missing = u"\x1f(missing)";
    // Commands that open from one place; the language items' captions are fixed texts.
    const std::vector<std::vector<std::u16string>> groups = {
        {u"MP10", u"MP30", u"MP60", u"MP70", u"MP80", u"MP90"},  // menu bar
        {u"MP21", u"MP19"},                                       // File
        {u"MP31", u"&Fran\u00e7ais", u"&Deutsch", u"&English"},   // Settings
        {u"MP61", u"MP62", u"MP69", u"room_open"},                // Display
        {u"pop0", u"pop1", u"pop2", u"pop3", u"pop4"},            // list context menu
        {u"bu_load", u"bu_save", u"bu_ok", u"bu_cancel"},         // settings dialog
        {u"bu_playlist", u"bu_pause", u"bu_stop", u"bu_fade"},    // transport buttons
        {u"party_resume", u"party_new"},                          // the question at start
    };
    for (const char* code : {"eng", "deu", "fra"}) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(std::filesystem::is_regular_file(Shipped(code)));
        const platform::IniFile file(Shipped(code));
        std::map<std::u16string, std::u16string> values;
        for (const ui::LanguageKey& k : ui::LanguageKeys()) {
            const std::u16string value = file.ReadString(k.section, k.key, missing);
            EXPECT_NE(value, missing) << QString::fromStdU16String(std::u16string(k.key)).toStdString();
            EXPECT_FALSE(value.empty()) << QString::fromStdU16String(std::u16string(k.key)).toStdString();
            values[std::u16string(k.key)] = value;
        }
        for (char c = '0'; c <= '7'; ++c) {
            const std::u16string key = u"C" + std::u16string(1, static_cast<char16_t>(c));
            EXPECT_NE(file.ReadString(u"TABLE", key, missing), missing) << c;
        }
        for (const auto& group : groups) {
            QSet<QChar> seen;
            for (const std::u16string& item : group) {
                const auto it = values.find(item);
                const QChar key = AccessKey(it != values.end() ? it->second : item);
                ASSERT_FALSE(key.isNull()) << QString::fromStdU16String(item).toStdString();
                EXPECT_FALSE(seen.contains(key)) << QString::fromStdU16String(item).toStdString() << " repeats "
                                                 << QString(key).toStdString();
                seen.insert(key);
            }
        }
    }
}

TEST(Banner, SnapsEachEdgeThatComesWithinReach) {
    const QRect screen(0, 0, 1400, 900);
    struct Case {
        const char* name;
        QPoint at;
        QPoint expected;
    };
    const Case cases[] = {
        {"free in the middle", {300, 300}, {300, 300}},
        {"near the left edge", {30, 300}, {0, 300}},
        {"just out of reach on the left", {31, 300}, {31, 300}},
        {"past the left edge", {-20, 300}, {0, 300}},
        {"near the right edge", {1400 - 650 - 10, 300}, {1400 - 650, 300}},
        {"near the bottom", {300, 900 - 110 - 25}, {300, 900 - 110}},
        {"near the top left corner", {12, 8}, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::SnapToEdges(QRect(c.at, QSize(650, 110)), screen, 30), c.expected) << c.name;
    // A screen that does not start at the origin (a second monitor).
    EXPECT_EQ(ui::SnapToEdges(QRect(QPoint(1420, 5), QSize(650, 110)), QRect(1400, 0, 1280, 1024), 30),
              QPoint(1400, 0));
}

// Pixels of the colour a person would call red in a label's picture.
int RedPixels(QWidget* w) {
    const QImage img = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++n;
        }
    return n;
}

TEST(Banner, LinesShrinkThenCutAtTheirEndAndTheMenuChangesOnlyTheNowLine) {
    test_support::EnsureApplication();
    ui::TForm_InfoBox banner;
    banner.Label_Now->setText("\"Long Title\" (Artist)");
    const QString next = QStringLiteral("Coming up: \"A Rather Long Title Of The Next Track\"");

    // Written while hidden, then shown: the whole text, at its place.
    banner.Label_Next->setText(next);
    banner.show();
    EXPECT_GE(banner.Label_Next->width(), QFontMetrics(banner.Label_Next->font()).horizontalAdvance(next));
    EXPECT_EQ(banner.Label_Next->pos(), QPoint(8, 54));

    const int nowHeight = QFontMetrics(banner.Label_Now->font()).height();
    const int nextHeight = QFontMetrics(banner.Label_Next->font()).height();
    EXPECT_EQ(RedPixels(banner.Label_Now), 0);
    banner.PopBox1Click();  // big
    banner.PopBox7Click();  // red
    EXPECT_GT(QFontMetrics(banner.Label_Now->font()).height(), nowHeight);
    EXPECT_GT(RedPixels(banner.Label_Now), 100);
    EXPECT_EQ(QFontMetrics(banner.Label_Next->font()).height(), nextHeight);
    EXPECT_EQ(RedPixels(banner.Label_Next), 0);
    banner.PopBox3Click();  // small
    EXPECT_LT(QFontMetrics(banner.Label_Now->font()).height(), nowHeight);

    // Each line, at each letter size, with texts from short to far too long for the window: the
    // beginning always shows, the letters shrink no further than readable, and only then is the
    // end cut off.
    const QString title = QStringLiteral("\"Bohemian Rhapsody In The Key Of Everything At Once\"");
    const QString texts[] = {QStringLiteral("\"Intro\" (Band)"), title + QStringLiteral(" (Queen)"),
                             title.repeated(4) + QStringLiteral(" (The Very Long Band Name)")};
    for (void (ui::TForm_InfoBox::*size)() : {&ui::TForm_InfoBox::PopBox1Click, &ui::TForm_InfoBox::PopBox2Click,
                                              &ui::TForm_InfoBox::PopBox3Click}) {
        (banner.*size)();
        for (ui::BannerLine* line : {banner.Label_Now, banner.Label_Next}) {
            for (const QString& text : texts) {
                line->setText(text);
                QCoreApplication::sendPostedEvents();
                const std::string name = line->objectName().toStdString() + " at " +
                                         std::to_string(QFontInfo(banner.Label_Now->font()).pixelSize()) + " px: " +
                                         text.left(20).toStdString() + " (" + std::to_string(text.size()) + ")";
                const ui::BannerLine::Shown shown = line->Fitted();
                const int room = line->contentsRect().width();
                EXPECT_LE(QFontMetrics(shown.font).horizontalAdvance(shown.text), room) << name;
                EXPECT_LE(line->geometry().right(), banner.width() - 1) << name;
                EXPECT_TRUE(shown.text.startsWith(text.left(6))) << name << ": " << shown.text.toStdString();
                const int pixels = QFontInfo(shown.font).pixelSize();
                EXPECT_GE(pixels, line->MinimumPixels()) << name;
                if (QFontMetrics(line->font()).horizontalAdvance(text) <= room) {
                    EXPECT_EQ(shown.text, text) << name;
                    EXPECT_EQ(pixels, QFontInfo(line->font()).pixelSize()) << name;
                } else if (shown.text != text) {
                    EXPECT_TRUE(shown.text.endsWith(QChar(0x2026))) << name;
                    EXPECT_EQ(pixels, line->MinimumPixels()) << name << ": cut before shrinking";
                }
            }
        }
        // The next line stands below the now line's letters, inside the window; only big
        // letters make the window taller.
        EXPECT_GE(banner.Label_Next->y(), QFontMetrics(banner.Label_Now->font()).height());
        EXPECT_LE(banner.Label_Next->geometry().bottom(), banner.height() - 1);
        if (size != &ui::TForm_InfoBox::PopBox1Click) {
            EXPECT_EQ(banner.height(), 83);
        }
    }

    // The height is fixed, the width only grows.
    banner.resize(400, 300);
    EXPECT_EQ(banner.height(), 83);
    EXPECT_GE(banner.width(), 642);
    EXPECT_EQ(banner.Label_Now->geometry(), banner.rect());
    banner.resize(900, 83);
    EXPECT_EQ(banner.Label_Now->width(), 900);
}

}  // namespace
