// The windows without a pointer, in every shipped language and every state of the controls:
// each menu item, button and labelled field has an access key that nothing else reachable in its
// menu or window shares, Alt and a menu's letter opens that menu, and Tab reaches every control.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenuBar>
#include <QSet>
#include <QShortcut>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "tests/support/recording_user_interface.h"
#include "app/main_window.h"
#include "platform/guard.h"
#include "platform/user_interface.h"
#include "tests/support/test_deck.h"
#include "ui/Dlg_Settings.h"
#include "tests/support/qt_app.h"
#include "settings/language_file.h"

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

// Captions of the main window that Alt+letter reaches now: the menu bar's, and those of the
// enabled buttons that have one (a disabled button's key does nothing). The transport buttons
// must have one.
QStringList ReachableCaptions(const app::TForm1& f) {
    QStringList captions;
    for (const QAction* a : f.menuBar()->actions())
        if (a->isVisible()) captions << a->text();
    const QList<const QAbstractButton*> transport{f.Button_PlayList, f.Button_Pause, f.Button_Stop, f.Button_FF};
    for (const QAbstractButton* b : f.findChildren<QAbstractButton*>())
        if (b->isVisibleTo(&f) && b->isEnabled() &&
            (transport.contains(b) || !QKeySequence::mnemonic(b->text()).isEmpty()))
            captions << b->text();
    return captions;
}

TEST(KeyboardAccess, EveryCommandHasItsKeyInEveryLanguageAndEveryControlState) {
    test_support::EnsureApplication();
    platform::ScopedRecorder recorder;
    settings::SetLanguageFolders({std::filesystem::path(QMM_SOURCE_DIR) / "resources"});
    QTemporaryDir dir;
    const QString track = dir.filePath("a.mp3");
    QFile(track).open(QIODevice::WriteOnly);
    auto clock = std::make_shared<playback::TTestClock>();
    clock->SetDefaultLength(180000);
    auto form = app::CreateWindows(playback::TestDeckFactory(clock));
    {
        settings::TSetRec r = form->Party().Settings();
        r.FFsecText = "6";  // Forward is offered while playing
        form->Party().CloseSettings(r);
    }
    form->show();  // English, as at start
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    const auto fill = [&] {
        tracks::TrackRow row;
        row.Status = "ready";
        row.Title = "A";
        row.FileName = track;
        for (tracks::TListView* list : {form->ListView_soon, form->ListView_Guest_Pool, form->ListView_preselect})
            if (list->Count() == 0) list->AppendRow(row);
        form->pop0Click();  // no list under the menu: the controls follow the lists
    };
    struct State {
        const char* name;
        std::function<void()> enter;
    };
    const State states[] = {
        {"at start", [] {}},
        {"stopped with lists", fill},
        {"playing", [&] { platform::Guarded([&] { form->Button_PlayListClick(); }); }},
        {"playing, a row selected", [&] { form->ListView_soon->SelectRow(0); }},
        {"paused", [&] { platform::Guarded([&] { form->Button_PauseClick(); }); }},
        {"paused, lists changed", [&] { form->pop0Click(); }},
        {"going on", [&] { platform::Guarded([&] { form->Button_PauseClick(); }); }},
        {"stopped again", [&] { platform::Guarded([&] { form->Button_StopClick(); }); }},
    };
    for (void (app::TForm1::*language)() : {&app::TForm1::M39Click, &app::TForm1::M38Click, &app::TForm1::M37Click}) {
        for (const State& state : states) {
            state.enter();
            (form.get()->*language)();  // also a switch in the middle of a state
            const std::string where = form->Party().LanguageCode().toStdString() + ", " + state.name;
            ExpectDistinctKeys(ReachableCaptions(*form), where + ": main window");
            for (const QMenu* menu : {form->M10, form->M30, form->M60, form->M90, form->PopupMenu1})
                ExpectDistinctKeys(ItemsOf(menu), where + ": menu " + menu->objectName().toStdString());

            // Alt and the menu's letter opens it, whatever the buttons show.
            for (QMenu* menu : {form->M10, form->M30, form->M60, form->M90}) {
                const QKeySequence key = QKeySequence::mnemonic(menu->title());
                ASSERT_FALSE(key.isEmpty()) << where;
                // A closed menu leaves neither an active window nor a focus here (an X server gives
                // both back): the keys go to the queue, as when the DJ last clicked it.
                form->activateWindow();
                ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == form.get(); })) << where;
                form->ListView_soon->setFocus();
                // The letter with Alt held, without the Alt key's own press and release: the menu
                // bar's Alt-alone navigation (the press and release of Alt) plays no part here.
                QTest::sendKeyEvent(QTest::Click, form->ListView_soon, key[0].key(), QString(), Qt::AltModifier);
                EXPECT_EQ(QApplication::activePopupWidget(), menu)
                    << where << ": " << key.toString().toStdString() << " does not open "
                    << menu->title().toStdString();
                menu->close();
                QTest::qWait(20);
            }
        }
        platform::Guarded([&] { form->Button_StopClick(); });
        for (tracks::TListView* list : {form->ListView_soon, form->ListView_Guest_Pool, form->ListView_preselect})
            list->ClearRows();
        form->pop0Click();

        const ui::TForm2& d = *form->Form2;
        QStringList dialog;
        for (const QAbstractButton* b : d.findChildren<QAbstractButton*>())
            if (!QKeySequence::mnemonic(b->text()).isEmpty()) dialog << b->text();
        for (const QLabel* l : d.findChildren<QLabel*>())
            if (l->buddy()) dialog << l->text();
        ExpectDistinctKeys(dialog, form->Party().LanguageCode().toStdString() + " settings dialog");
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
    settings::SetLanguageFolders({});
}

}  // namespace
