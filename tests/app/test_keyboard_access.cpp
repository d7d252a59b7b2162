// The windows without a pointer, in every shipped language: each menu item and dialog button has
// an access key that no neighbour in its menu or window shares, and Tab reaches every control.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenuBar>
#include <QSet>
#include <QShortcut>
#include <QSlider>

#include "tests/support/recording_user_interface.h"
#include "app/main_window.h"
#include "platform/user_interface.h"
#include "tests/support/test_deck.h"
#include "settings/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "ui/language.h"

namespace {

// The access keys of a row of captions; an empty text where a caption has none.
QStringList AccessKeys(const QStringList& captions) {
    QStringList keys;
    for (const QString& caption : captions) keys << QKeySequence::mnemonic(caption).toString();
    return keys;
}

void ExpectDistinctKeys(const QStringList& captions, const std::string& where) {
    const QStringList keys = AccessKeys(captions);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        EXPECT_FALSE(keys[i].isEmpty()) << where << ": no access key in " << captions[i].toStdString();
        EXPECT_EQ(keys.count(keys[i]), 1)
            << where << ": " << keys[i].toStdString() << " twice in " << captions.join(" | ").toStdString();
    }
}

QStringList ItemsOf(const QMenu* menu) {
    QStringList items;
    for (const QAction* a : menu->actions())
        if (!a->isSeparator() && a->isVisible() && a->objectName() != "M99") items << a->text();  // M99: version
    return items;
}

// Everything a person operates, on the Tab chain of its window.
void ExpectOnTabChain(QWidget* window, const std::string& where) {
    QSet<QWidget*> chain;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) chain.insert(w);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QSlider*>(w) ||
                             qobject_cast<QLineEdit*>(w) ||
                             (qobject_cast<QAbstractItemView*>(w) && !qobject_cast<QHeaderView*>(w));
        if (!control || !w->isVisibleTo(window) || w->window() != window) continue;
        EXPECT_TRUE(chain.contains(w)) << where << ": Tab never reaches " << w->metaObject()->className() << " "
                                       << w->objectName().toStdString();
    }
}

TEST(KeyboardAccess, EveryCommandHasItsKeyInEveryLanguage) {
    test_support::EnsureApplication();
    platform::ScopedRecorder recorder;
    ui::SetLanguageFolders({std::filesystem::path(QMM_SOURCE_DIR) / "resources"});
    auto form = app::CreateWindows(playback::TestDeckFactory(std::make_shared<playback::TTestClock>()));
    form->show();  // English, as at start
    for (void (app::TForm1::*language)() : {&app::TForm1::M39Click, &app::TForm1::M38Click, &app::TForm1::M37Click}) {
        (form.get()->*language)();
        const std::string code = form->LanguageCode.toStdString();
        QStringList bar;
        for (const QAction* a : form->menuBar()->actions()) bar << a->text();
        ExpectDistinctKeys(bar, code + " menu bar");
        for (const QMenu* menu : {form->M10, form->M30, form->M60, form->M90, form->PopupMenu1})
            ExpectDistinctKeys(ItemsOf(menu), code + " menu " + menu->objectName().toStdString());
        const settings::TForm2& d = *form->Form2;
        ExpectDistinctKeys({d.Button_Load->text(), d.Button_Save->text(), d.Button_OK->text(), d.Button_Cancel->text()},
                           code + " settings dialog");
        // The transport buttons may share a key with a menu of the bar: a first press then
        // focuses the button, the next opens the menu.
        for (const QPushButton* b : {form->Button_PlayList, form->Button_Pause, form->Button_Stop, form->Button_FF})
            EXPECT_FALSE(AccessKeys({b->text()}).front().isEmpty()) << code << ": " << b->text().toStdString();
    }

    // The lists' context menu: the Menu key, or Shift+F10 where a keyboard has none.
    for (tracks::TListView* list : {form->ListView_soon, form->ListView_Guest_Pool, form->ListView_preselect}) {
        QShortcut* key = nullptr;
        for (QShortcut* s : list->findChildren<QShortcut*>())
            if (s->key() == QKeySequence(Qt::SHIFT | Qt::Key_F10)) key = s;
        ASSERT_NE(key, nullptr) << list->objectName().toStdString();
        emit key->activated();
        EXPECT_TRUE(form->PopupMenu1->isVisible() && form->PopupList == list) << list->objectName().toStdString();
        form->PopupMenu1->hide();
    }

    for (QWidget* w : form->findChildren<QWidget*>()) w->setEnabled(true);  // as playing with full lists
    ExpectOnTabChain(form.get(), "main window");
    form->Form2->show();
    ExpectOnTabChain(form->Form2, "settings dialog");
    form->Form2->hide();
    ui::SetLanguageFolders({});
}

}  // namespace
