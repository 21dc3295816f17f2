#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "mainwindow/LayoutManager.h"
#include "mainwindow/fMain.h"
#include "preferences/MailSettingsPage.h"
#include "preferences/fPreferences.h"
#include "settings/dmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class MailSettingsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        // No secret service can answer: the password cannot be kept.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + TestEnv::ScratchFolder().toUtf8() + "no-bus");
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        mainWindow = std::make_unique<TfrmTessarynMain>(*main);
        mainWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
    }
    void TearDown() override
    {
        mainWindow.reset();
        main.reset();
        EngineTest::TearDown();
    }
    TFrmPreferences::TLayoutOwners Owners() const
    {
        return {mainWindow->LayoutManager().TaskAssistant(), mainWindow->LayoutManager().Toolbar()};
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmTessarynMain> mainWindow;
};

TEST_P(MailSettingsTest, SavedSettingsAreInTheDatabaseAtOnceAndThePasswordNeverIs)
{
    TFrmPreferences window(*main, Owners());
    ASSERT_TRUE(window.SelectLink("laMail"));
    TMailSettingsPage& page = *window.gbMail;
    EXPECT_EQ(window.CurrentPage(), window.gbMail);
    EXPECT_EQ(page.edMailAddress->text(), "<Enter your e-mail address here>");
    EXPECT_EQ(page.edMailAddress->selectedText(), page.edMailAddress->text()) << "typing replaces the request";
    EXPECT_EQ(page.edMailPort->value(), 25);
    EXPECT_EQ(page.edMailSizeLimit->text(), "1024");

    page.edMailAddress->setText("me@example.org");
    page.edMailHost->setText("smtp.example.org");
    // the usual port follows the kind of connection
    page.coMailSecurity->setCurrentIndex(1);
    EXPECT_EQ(page.edMailPort->value(), 587);
    page.coMailSecurity->setCurrentIndex(2);
    EXPECT_EQ(page.edMailPort->value(), 465);
    page.edMailUserName->setText(" me ");
    page.edMailSizeLimit->setText("");
    page.chMailAsZip->setChecked(false);
    page.edMailPassword->setText("typed-secret");
    emit page.edMailPassword->textEdited("typed-secret");
    window.accept();
    // the store refused the password: said so, the rest is saved all the same
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_TRUE(desktop.messages.first().text.startsWith("The password could not be kept in the desktop's secret store: "))
        << desktop.messages.first().text.toStdString();

    // another program on the same database sees them, without this one ending
    RecordingDesktop otherDesktop;
    TdmMain other(*conn, otherDesktop);
    ASSERT_TRUE(other.IsInitialized());
    EXPECT_EQ(other.App.MailAddress, "me@example.org");
    EXPECT_EQ(other.App.MailSmtpHost, "smtp.example.org");
    EXPECT_EQ(other.App.MailSmtpPort, 465);
    EXPECT_EQ(other.App.MailSecurity, 2);
    EXPECT_EQ(other.App.MailUserName, "me");
    EXPECT_EQ(other.App.MailSizeLimit, 1024) << "no number gives the default";
    EXPECT_FALSE(other.App.MailAsZip);
    // no settings row holds the password
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("select count(*) from settings where _values like '%typed-secret%' or _key like '%typed-secret%'"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 0);

    // shown again: the password field is empty, the rest as saved
    TFrmPreferences again(*main, Owners());
    EXPECT_TRUE(again.gbMail->edMailPassword->text().isEmpty());
    EXPECT_EQ(again.gbMail->coMailSecurity->currentIndex(), 2);
    EXPECT_EQ(again.gbMail->edMailPort->value(), 465);
}

TESSARYN_INSTANTIATE_ENGINES(MailSettingsTest);

} // namespace
