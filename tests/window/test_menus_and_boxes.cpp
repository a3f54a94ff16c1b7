// The menus, closing, the About box, the support page and the error box.
#include "window/window_test.h"

namespace rivek {
namespace {

using namespace rivek::testing;

TEST_F(WindowTest, ExitAndTheCloseBoxBothSaveTheSettings) {
    struct Case {
        const char* how;
        std::function<void(TForm1&)> close;
    };
    const Case cases[] = {
        {"File > Exit by access keys",
         [](TForm1& form) {
             QTest::keyClick(&form, Qt::Key_F, Qt::AltModifier);
             auto* menu = form.findChild<QMenu*>("F1");
             ASSERT_TRUE(menu->isVisible());
             QTest::keyClick(menu, Qt::Key_X);
         }},
        {"close box", [](TForm1& form) { form.close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        QFile::remove("Rivek.ini");
        Open();
        TypeOver(Find<QWidget>("SpinEdit1"), "1234");
        TypeOver(Find<QWidget>("SpinEdit2"), "55");
        form_->SetSpinValue(Setting::GroupLength, 3);
        c.close(*form_);
        EXPECT_FALSE(form_->isVisible());
        EXPECT_EQ(ReadFile("Rivek.ini"), "1234\r\n55\r\n3\r\n");
        // Closing an already closed window saves nothing more.
        QFile::remove("Rivek.ini");
        form_->close();
        EXPECT_FALSE(QFile::exists("Rivek.ini"));
        form_.reset();
    }
}

TEST_F(WindowTest, MenuItemsHaveAccessKeysAndNoShortcuts) {
    Open();
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"Exit1", "Exit (&X)"}, {"S1", "Support Page (&S)"}, {"About1", "About (&A)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* action = Find<QAction>(c.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), c.text);
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
    EXPECT_EQ(Find<QMenu>("F1")->title(), "File (&F)");
    EXPECT_EQ(Find<QMenu>("Help1")->title(), "Help (&H)");
}

TEST_F(WindowTest, AboutShowsNameVersionAuthorshipAndTheGuidesAddress) {
    Open();
    SeenBox seen;
    CloseNextMessageBox(seen);
    QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
    auto* help = Find<QMenu>("Help1");
    ASSERT_TRUE(help->isVisible());
    QTest::keyClick(help, Qt::Key_A);

    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, U("情報"));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QStringList lines = seen.text.split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("Rivek " RIVEK_VERSION " ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("Rivek developers"));
    EXPECT_TRUE(lines[0].contains("GNU General Public License, version 3 or later")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], TForm1::SupportPageAddress().toString());
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(WindowTest, MenusAndTheAboutBoxLeaveTheFieldsAsTheyWere) {
    Open();
    struct Case {
        const char* field;
        QString typed;
    };
    const Case cases[] = {{"SpinEdit3", "9999"}, {"Edit1", "ABC"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        QWidget* field = Find<QWidget>(c.field);
        TypeOver(field, c.typed);
        SeenBox seen;
        CloseNextMessageBox(seen);
        QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
        QTest::keyClick(Find<QMenu>("Help1"), Qt::Key_A);
        ASSERT_TRUE(seen.seen);
        // The desktop gives the window back its activation.
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        EXPECT_EQ(Focused(), field);
        // The text stands, unselected: the next key adds to it.
        QTest::keyClicks(field, "1");
        const QString expected = c.typed + "1";
        EXPECT_EQ(field->findChild<QLineEdit*>() ? field->findChild<QLineEdit*>()->text()
                                                 : qobject_cast<QLineEdit*>(field)->text(),
                  expected);
    }
    EXPECT_EQ(sound_.plays, 0);
}

// Receives the addresses handed to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

TEST_F(WindowTest, SupportPageHandsTheShippedGuideToTheDesktop) {
    Open();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
    QTest::keyClick(Find<QMenu>("Help1"), Qt::Key_S);
    QDesktopServices::unsetUrlHandler("file");

    ASSERT_EQ(catcher.opened.size(), 1);
    const QUrl url = catcher.opened.front();
    EXPECT_EQ(url, TForm1::SupportPageAddress());
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_TRUE(url.toLocalFile().endsWith("/share/doc/rivek/guide.html"));
    // The build puts the guide there, beside bin/ as an installation does.
    EXPECT_TRUE(QFile::exists(url.toLocalFile())) << url.toLocalFile().toStdString();
}

TEST_F(WindowTest, SupportPageWithoutAnOpenerTellsTheGuidesPathAndCopiesIt) {
    // The offscreen platform has no program that opens a file, as a desktop
    // without xdg-open or a browser has none.
    Open();
    const QString path = TForm1::SupportPageAddress().toLocalFile();
    QGuiApplication::clipboard()->clear();
    struct Case {
        const char* button;
        bool copies;
    };
    const Case cases[] = {{"Close", false}, {"Copy Path", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        bool seen = false;
        QString text;
        QStringList buttons;
        QTimer::singleShot(10, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << "no message box";
            seen = true;
            text = box->text();
            for (QAbstractButton* button : box->buttons()) buttons << button->text();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == c.button) button->click();
            }
        });
        QTest::keyClick(form_.get(), Qt::Key_H, Qt::AltModifier);
        QTest::keyClick(Find<QMenu>("Help1"), Qt::Key_S);
        ASSERT_TRUE(seen);
        EXPECT_TRUE(text.endsWith("\n" + path)) << text.toStdString();
        EXPECT_TRUE(text.startsWith("No program was found to open the user guide.")) << text.toStdString();
        EXPECT_TRUE(buttons.contains("Copy Path"));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.copies ? path : QString());
    }
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(WindowTest, AnErrorInATrialShowsTheErrorBoxAndRivekGoesOn) {
    Open();
    auto* edit = Find<QLineEdit>("Edit1");
    sound_.failNextPlay = true;
    SeenBox seen;
    CloseNextMessageBox(seen);
    PressEnter(edit);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.text, U("メモリストリームの拡大中にメモリが足りなくなりました"));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // The next Enter runs an ordinary trial.
    PressEnter(edit);
    EXPECT_EQ(sound_.plays, 2);
    EXPECT_EQ(controller_->Counters().TrialNo, 2);
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(edit->text(), "");
}


}  // namespace
}  // namespace rivek

#include "test_menus_and_boxes.moc"
