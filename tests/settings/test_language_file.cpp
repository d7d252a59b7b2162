// The shipped language files: every key in every file, and no two commands of one menu or dialog
// on the same access key.
#include <gtest/gtest.h>

#include <QSet>
#include <QString>
#include <filesystem>
#include <map>

#include "platform/ini_file.h"
#include "settings/language_file.h"

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
        for (const settings::LanguageKey& k : settings::LanguageKeys()) {
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

}  // namespace
