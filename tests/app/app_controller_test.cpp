// The window program's decisions off the happy path: every answer to every
// question (Yes, No, Cancel, a failing save), a close or a forwarded open
// arriving while a question is open, a journal taken over late from the
// command-line logger, the record limit, the wall clock set back, and
// update results arriving during the close question. Real journals and
// real signed files on disk; the window is a script.

#include "app/app_test_rig.h"
#include "app/instance_lock.h"
#include "app/launch_arguments.h"
#include "support/http_test_server.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using testing::AppRig;
using testing::Reply;

// ---- close ----

TEST(AppClose, EveryAnswerOfTheCloseQuestions)
{
    // Unsaved records: Cancel keeps everything.
    {
        AppRig rig;
        rig.startWithRestored(3);
        ASSERT_TRUE(rig.app->unsaved());
        rig.expect({ Reply::unsaved(SaveChoice::cancel) });
        rig.app->requestClose();
        EXPECT_FALSE(rig.view->destroyed);
        EXPECT_EQ(rig.journalLines(), 3);
        EXPECT_TRUE(rig.allAnswered());
        // The question carries its answer hint once.
        const auto& question = rig.dialogs.texts.back();
        EXPECT_EQ(question, ui::unsavedQuestionText(L10n::text(L10nKey::dialogUnsavedBody, AppLanguage::enUS), AppLanguage::enUS));
    }
    // Don't Save closes and removes the journal.
    {
        AppRig rig;
        rig.leaveJournal(3);
        rig.expect({ Reply::yesNo(true), Reply::unsaved(SaveChoice::dontSave) });
        rig.start();
        rig.app->requestClose();
        EXPECT_TRUE(rig.view->destroyed);
        EXPECT_EQ(rig.journalLines(), -1);
        EXPECT_TRUE(rig.logs.contains("[DMMApp] 正常關閉：緩衝檔與側檔已刪除、設定已寫入\r\n"));
    }
    // Save into a folder that does not exist: the error box, the program
    // stays open with its journal.
    {
        AppRig rig;
        rig.startWithRestored(3);
        const auto missing = (rig.dir.path() / "missing" / "run.zmd").string();
        rig.expect({ Reply::unsaved(SaveChoice::save), Reply::savePath(missing), Reply::message() });
        rig.app->requestClose();
        EXPECT_FALSE(rig.view->destroyed);
        EXPECT_TRUE(rig.app->unsaved());
        EXPECT_EQ(rig.journalLines(), 3);
        EXPECT_TRUE(rig.logs.contains("存檔失敗（" + missing + "）"));
        // Cancel in the save dialog inside the question abandons the close too.
        rig.expect({ Reply::unsaved(SaveChoice::save), Reply::savePath(std::nullopt) });
        rig.app->requestClose();
        EXPECT_FALSE(rig.view->destroyed);
        // And a save that works closes.
        const auto good = (rig.dir.path() / "run.zmd").string();
        rig.expect({ Reply::unsaved(SaveChoice::save), Reply::savePath(good) });
        rig.app->requestClose();
        EXPECT_TRUE(rig.view->destroyed);
        EXPECT_TRUE(ZmdFile::open(good, "DMM-5174K", ZmdSignatureService::shared()).has_value());
        EXPECT_TRUE(rig.allAnswered());
    }
}

TEST(AppClose, WhileRecordingNoKeepsRecording)
{
    AppRig rig;
    rig.start();
    rig.plugInMeter();
    rig.app->startRecording();
    ASSERT_TRUE(rig.app->session().isRecording());
    rig.expect({ Reply::yesNo(false) });
    rig.app->requestClose();
    EXPECT_TRUE(rig.app->session().isRecording());
    EXPECT_TRUE(rig.view->recording);
    EXPECT_TRUE(rig.view->timers.contains(sampleTimer));
    EXPECT_EQ(rig.journalLines(), 1);
    // Yes stops, then the unsaved question; Cancel leaves it stopped, open.
    rig.expect({ Reply::yesNo(true), Reply::unsaved(SaveChoice::cancel) });
    rig.app->requestClose();
    EXPECT_FALSE(rig.app->session().isRecording());
    EXPECT_FALSE(rig.view->destroyed);
    EXPECT_EQ(rig.journalLines(), 1);
}

// A close request (the shell's close, taskkill, a second instance) while
// the start-up recovery question is open waits for the answer: the journal
// the question is about is never deleted unasked.
TEST(AppClose, DuringTheRecoveryQuestionWaitsForTheAnswer)
{
    AppRig rig;
    rig.leaveJournal(3);
    rig.expect({ Reply::yesNo(true, [&] {
        rig.view->controller.lock()->requestClose();
        EXPECT_FALSE(rig.view->destroyed);
        EXPECT_EQ(rig.journalLines(), 3);
    }) });
    rig.start();
    EXPECT_FALSE(rig.view->destroyed);
    EXPECT_FALSE(rig.logs.contains("使用者放棄恢復"));
    EXPECT_TRUE(rig.logs.contains("[DMMApp] 已恢復 3 筆記錄（刪除筆數 0）\r\n"));
    EXPECT_TRUE(rig.logs.contains("關閉要求：尚有詢問未回答，回答後再關閉"));
    EXPECT_TRUE(rig.logs.contains("啟動完成"));
    // The close goes on once the window's loop runs: the restored records
    // are unsaved, so it asks.
    rig.expectCloseCancelledKeeping(3);
}

// The close sent to every window of the program also ends the box itself,
// without an answer: nothing is restored or discarded, the close goes on and
// the journal stays for the next start, which asks again.
TEST(AppClose, ARecoveryQuestionEndedByTheCloseKeepsTheJournal)
{
    AppRig rig;
    rig.leaveJournal(3);
    rig.expect({ Reply::yesNoDismissed([&] { rig.view->controller.lock()->requestClose(); }) });
    rig.start();
    EXPECT_FALSE(rig.app->holdsDataDirectory());
    rig.pump();
    EXPECT_TRUE(rig.view->destroyed);
    EXPECT_EQ(rig.journalLines(), 3);
    EXPECT_FALSE(rig.logs.contains("使用者放棄恢復"));
    EXPECT_TRUE(rig.logs.contains("[DMMApp] 正常關閉：恢復詢問未獲回答，緩衝檔保留、設定已寫入\r\n"));
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppClose, ARecoveryQuestionLeftUnansweredIsAskedAgainBeforeTheJournalIsTouched)
{
    AppRig rig;
    rig.leaveJournal(3);
    rig.expect({ Reply::yesNoDismissed() });
    rig.start();
    rig.plugInMeter();
    rig.expect({ Reply::yesNo(true) });
    rig.app->startRecording(); // continues the restored records
    EXPECT_EQ(rig.app->session().recordCount(), 4);
    EXPECT_EQ(rig.journalLines(), 4);
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppClose, AnExitWithoutACompletedCloseKeepsTheJournal)
{
    AppRig rig;
    rig.leaveJournal(3);
    rig.expect({ Reply::yesNo(true, [&] { rig.view->controller.lock()->requestClose(); }) });
    rig.start();
    // The message loop ends before the close was taken up (the session
    // ended, the process was told to quit).
    rig.app->shutdownKeepingJournal();
    EXPECT_EQ(rig.journalLines(), 3);
    EXPECT_FALSE(rig.logs.contains("正常關閉"));
}

TEST(AppClose, DuringEveryOtherQuestionWaitsToo)
{
    struct Case {
        const char* name;
        std::function<void(AppRig&, std::function<void()> during)> ask;
    };
    const Case cases[] = {
        { "new file's confirmation",
            [](AppRig& rig, auto during) {
                rig.expect({ Reply::unsaved(SaveChoice::dontSave), Reply::confirm(false, during) });
                rig.app->newFile();
            } },
        { "delete confirmation",
            [](AppRig& rig, auto during) {
                rig.expect({ Reply::confirm(false, during) });
                const std::size_t rows[] = { 0 };
                rig.app->deleteRows(rows);
            } },
        { "clear confirmation",
            [](AppRig& rig, auto during) {
                rig.expect({ Reply::confirm(false, during) });
                rig.app->clearAll();
            } },
        { "unsaved question of an open",
            [](AppRig& rig, auto during) {
                rig.expect({ Reply::unsaved(SaveChoice::cancel, during) });
                rig.app->openFromMenu();
            } },
        { "open dialog",
            [](AppRig& rig, auto during) {
                rig.expect({ Reply::unsaved(SaveChoice::dontSave), Reply::openPath(std::nullopt, during) });
                rig.app->openFromMenu();
            } },
        { "update's before-install question",
            [](AppRig& rig, auto during) {
                rig.expect({ Reply::unsaved(SaveChoice::cancel, during) });
                EXPECT_FALSE(rig.app->beforeInstallUnsavedCheck(false));
            } },
        { "save dialog",
            [](AppRig& rig, auto during) {
                rig.expect({ Reply::savePath(std::nullopt, during) });
                rig.app->saveAs();
            } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppRig rig;
        rig.startWithRestored(3);
        c.ask(rig, [&] {
            rig.app->requestClose();
            rig.app->requestClose(); // a second one is the same request
            EXPECT_FALSE(rig.view->destroyed);
            EXPECT_EQ(rig.journalLines(), 3);
        });
        EXPECT_FALSE(rig.view->destroyed);
        EXPECT_EQ(rig.journalLines(), 3);
        // Answered: the close asks its own question, once.
        rig.expectCloseCancelledKeeping(3);
    }
}

TEST(AppClose, DuringABoxOfTheWindowsOwnWaitsToo)
{
    AppRig rig;
    rig.startWithRestored(2);
    rig.view->ownDialogOpen = true; // the help or licence box
    rig.app->requestClose();
    rig.pump();
    EXPECT_FALSE(rig.view->destroyed);
    EXPECT_TRUE(rig.dialogs.asked.size() == 1);
    rig.view->ownDialogOpen = false;
    rig.expect({ Reply::unsaved(SaveChoice::dontSave) });
    rig.pump();
    EXPECT_TRUE(rig.view->destroyed);
    EXPECT_EQ(rig.journalLines(), -1);
}

// A forwarded open and a close both arrive during a question: the close
// comes first and the open is dropped with its line.
TEST(AppClose, AForwardedOpenQueuedBeforeAPendingCloseIsDropped)
{
    AppRig rig;
    rig.start();
    const auto run = rig.makeFile("run.zmd", 3);
    const auto other = rig.makeFile("other.zmd", 2);
    ASSERT_TRUE(rig.app->openDocument(run, true));
    const std::size_t rows[] = { 0 };
    rig.expect({ Reply::confirm(false, [&] {
        rig.app->receiveForwardedPath(other);
        rig.app->requestClose();
    }) });
    rig.app->deleteRows(rows);
    rig.pump();
    EXPECT_TRUE(rig.view->destroyed);
    EXPECT_TRUE(rig.logs.contains("轉交開檔：程式關閉中，略過 " + other));
    EXPECT_FALSE(rig.logs.contains("已開啟 .zmd 2 筆"));
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppClose, ASecondRequestDuringTheCloseQuestionIsTheSameRequest)
{
    AppRig rig;
    rig.startWithRestored(2);
    rig.expect({ Reply::unsaved(SaveChoice::cancel, [&] { rig.app->requestClose(); }) });
    rig.app->requestClose();
    rig.pump();
    EXPECT_TRUE(rig.allAnswered()); // no second question
    EXPECT_FALSE(rig.view->destroyed);
}

// ---- new file and open ----

TEST(AppFiles, NewFileAndOpenOnEmptyUnsavedAndRestoredSets)
{
    // Empty and saved: nothing is asked.
    {
        AppRig rig;
        rig.start();
        rig.app->newFile();
        const auto file = rig.makeFile("five.zmd", 5);
        rig.expect({ Reply::openPath(file) });
        rig.app->openFromMenu();
        EXPECT_EQ(rig.app->session().recordCount(), 5);
        EXPECT_EQ(rig.view->titleName, "five.zmd");
        EXPECT_FALSE(rig.view->titleUnsaved);
        EXPECT_EQ(rig.journalLines(), 5);
        // A file-backed saved set: New File confirms (it holds records).
        rig.expect({ Reply::confirm(true) });
        rig.app->newFile();
        EXPECT_EQ(rig.app->session().recordCount(), 0);
        EXPECT_EQ(rig.view->titleName, std::nullopt);
        EXPECT_TRUE(rig.allAnswered());
    }
    // Restored (unsaved) records meet the unsaved question before New
    // File's confirmation; Cancel at either keeps them.
    {
        AppRig rig;
        rig.startWithRestored(4);
        rig.expect({ Reply::unsaved(SaveChoice::cancel) });
        rig.app->newFile();
        rig.expect({ Reply::unsaved(SaveChoice::dontSave), Reply::confirm(false) });
        rig.app->newFile();
        EXPECT_EQ(rig.app->session().recordCount(), 4);
        EXPECT_EQ(rig.journalLines(), 4);
        // Open: Cancel in the unsaved question, then No and a file.
        rig.expect({ Reply::unsaved(SaveChoice::cancel) });
        rig.app->openFromMenu();
        EXPECT_EQ(rig.app->session().recordCount(), 4);
        const auto file = rig.makeFile("two.zmd", 2);
        rig.expect({ Reply::unsaved(SaveChoice::dontSave), Reply::openPath(file) });
        rig.app->openFromMenu();
        EXPECT_EQ(rig.app->session().recordCount(), 2);
        EXPECT_FALSE(rig.app->unsaved());
        EXPECT_EQ(rig.journalLines(), 2);
        EXPECT_TRUE(rig.allAnswered());
    }
}

TEST(AppFiles, ARefusedFileChangesNothing)
{
    AppRig rig;
    rig.start();
    const auto good = rig.makeFile("good.zmd", 3);
    ASSERT_TRUE(rig.app->openDocument(good, false));
    // The same file with one byte of a value changed: the signature fails.
    auto bytes = testing::readFile(good);
    const auto at = bytes.find("12.34");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = '9';
    const auto altered = (rig.dir.path() / "altered.zmd").string();
    testing::writeFile(altered, bytes);
    rig.expect({ Reply::message() });
    EXPECT_FALSE(rig.app->openDocument(altered, true));
    EXPECT_EQ(rig.app->session().recordCount(), 3);
    EXPECT_EQ(rig.app->currentFilePath(), good);
    EXPECT_EQ(rig.journalLines(), 3);
    EXPECT_EQ(rig.view->busyWhileAsking, 0);
    EXPECT_EQ(rig.view->busy, 0);
}

// The program started while the command-line logger held the data
// directory; the logger has gone and left its journal. The first command
// that takes the journal over asks about it, and records it restored are
// never replaced unasked.
TEST(AppFiles, AJournalTakenOverLateIsSettledBeforeItIsReplaced)
{
    for (const auto answer : { SaveChoice::cancel, SaveChoice::dontSave }) {
        SCOPED_TRACE(answer == SaveChoice::cancel ? "cancel" : "don't save");
        AppRig rig;
        auto logger = rig.startBesideLogger(4);
        EXPECT_FALSE(rig.app->holdsDataDirectory());
        EXPECT_TRUE(rig.dialogs.asked.empty());
        logger.reset();

        const auto file = rig.makeFile("five.zmd", 5);
        rig.expect({ Reply::yesNo(true), Reply::unsaved(answer) });
        rig.app->receiveForwardedPath(file);
        rig.pump();
        EXPECT_TRUE(rig.allAnswered());
        EXPECT_TRUE(rig.logs.contains("[DMMApp] 已恢復 4 筆記錄（刪除筆數 0）\r\n"));
        if (answer == SaveChoice::cancel) {
            EXPECT_EQ(rig.app->session().recordCount(), 4);
            EXPECT_EQ(rig.journalLines(), 4);
            EXPECT_TRUE(rig.app->unsaved());
            EXPECT_FALSE(rig.logs.contains("已開啟 .zmd"));
        } else {
            EXPECT_EQ(rig.app->session().recordCount(), 5);
            EXPECT_EQ(rig.journalLines(), 5);
        }
        EXPECT_EQ(rig.view->busyWhileAsking, 0);
    }
}

// The question about the logger's journal ends without an answer (the
// close sent to every window): the command that asked it is refused and
// the journal is neither replaced, deleted nor written to.
TEST(AppFiles, AnUnansweredLateRecoveryQuestionRefusesTheCommand)
{
    AppRig rig;
    auto logger = rig.startBesideLogger(4);
    logger.reset();
    rig.expect({ Reply::yesNoDismissed() });
    rig.app->newFile();
    EXPECT_EQ(rig.journalLines(), 4);
    EXPECT_FALSE(rig.app->holdsDataDirectory());
    const auto file = rig.makeFile("five.zmd", 5);
    rig.expect({ Reply::yesNoDismissed() });
    rig.app->receiveForwardedPath(file);
    rig.pump();
    EXPECT_EQ(rig.journalLines(), 4);
    EXPECT_EQ(rig.app->session().recordCount(), 0);
    EXPECT_TRUE(rig.logs.contains("開啟失敗（" + file + "）：資料夾由另一個記錄程式使用中；工作集維持不變（0 筆）"));
    rig.plugInMeter();
    rig.expect({ Reply::yesNoDismissed() });
    rig.app->startRecording();
    EXPECT_FALSE(rig.app->session().isRecording());
    EXPECT_EQ(rig.journalLines(), 4);
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppFiles, NewFileAfterALateTakeOverAsksAboutTheRestoredRecords)
{
    AppRig rig;
    auto logger = rig.startBesideLogger(4);
    // While the logger runs, New File is refused with a warning.
    rig.expect({ Reply::message() });
    rig.app->newFile();
    EXPECT_EQ(rig.journalLines(), 4);
    logger.reset();
    rig.expect({ Reply::yesNo(true), Reply::unsaved(SaveChoice::cancel) });
    rig.app->newFile();
    EXPECT_EQ(rig.app->session().recordCount(), 4);
    EXPECT_EQ(rig.journalLines(), 4);
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppFiles, TheStartUpHookNeverReplacesRestoredRecords)
{
    AppRig rig;
    auto logger = rig.startBesideLogger(4);
    logger.reset();
    const auto file = rig.makeFile("five.zmd", 5);
    rig.expect({ Reply::yesNo(true) });
    EXPECT_FALSE(rig.app->openDocument(file, false));
    EXPECT_EQ(rig.app->session().recordCount(), 4);
    EXPECT_EQ(rig.journalLines(), 4);
    EXPECT_EQ(rig.view->busyWhileAsking, 0); // no wait cursor over the question
}

TEST(AppFiles, DeleteAndClearFollowTheTitleAndUnsavedRules)
{
    AppRig rig;
    rig.start();
    const auto file = rig.makeFile("run.zmd", 5);
    ASSERT_TRUE(rig.app->openDocument(file, true));
    const std::size_t rows[] = { 0, 1 };
    rig.expect({ Reply::confirm(false) });
    rig.app->deleteRows(rows);
    EXPECT_EQ(rig.app->session().recordCount(), 5);
    EXPECT_FALSE(rig.view->titleUnsaved);
    rig.expect({ Reply::confirm(true) });
    rig.app->deleteRows(rows);
    EXPECT_EQ(rig.app->session().recordCount(), 3);
    EXPECT_EQ(rig.app->session().deletedCount(), 2);
    EXPECT_EQ(rig.view->titleName, "run.zmd");
    EXPECT_TRUE(rig.view->titleUnsaved);
    EXPECT_EQ(rig.journalLines(), 3);
    // Emptied, it still differs from its file.
    rig.expect({ Reply::confirm(true) });
    rig.app->clearAll();
    EXPECT_EQ(rig.app->session().recordCount(), 0);
    EXPECT_TRUE(rig.app->unsaved());
    EXPECT_EQ(rig.view->titleName, "run.zmd");
    rig.app->clearAll(); // nothing to clear: nothing asked
    // With no file, an emptied set is nothing to save.
    rig.expect({ Reply::unsaved(SaveChoice::dontSave), Reply::confirm(true) });
    rig.app->newFile();
    EXPECT_FALSE(rig.app->unsaved());
    EXPECT_EQ(rig.view->titleName, std::nullopt);
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppFiles, SaveAsAndExportProposeNamesAndRememberTheFolder)
{
    AppRig rig;
    rig.start();
    const auto file = rig.makeFile("run.zmd", 2);
    ASSERT_TRUE(rig.app->openDocument(file, true));
    const auto csv = (rig.dir.path() / "out" / "run.csv").string();
    std::filesystem::create_directories(rig.dir.path() / "out");
    rig.expect({ Reply::savePath(csv) });
    rig.app->exportCsv();
    EXPECT_EQ(rig.dialogs.proposedNames.back(), "run.zmd");
    EXPECT_TRUE(std::filesystem::exists(csv));
    EXPECT_EQ(rig.app->settings().lastSaveDirectory, (rig.dir.path() / "out").string());
    EXPECT_EQ(rig.app->currentFilePath(), file); // export changes neither
    EXPECT_FALSE(rig.app->unsaved());
}

// ---- forwarded opens ----

TEST(AppForwarded, TwoInQuickSuccessionOpenOnlyTheNewer)
{
    AppRig rig;
    rig.start();
    const auto first = rig.makeFile("first.zmd", 2);
    const auto second = rig.makeFile("second.zmd", 3);
    rig.app->receiveForwardedPath(first);
    rig.app->receiveForwardedPath(second);
    rig.pump();
    EXPECT_EQ(rig.app->currentFilePath(), second);
    EXPECT_EQ(rig.app->session().recordCount(), 3);
    EXPECT_TRUE(rig.logs.contains("轉交開檔：尚未處理的 " + first + " 由較新的轉交取代"));
    EXPECT_FALSE(rig.logs.contains("已開啟 .zmd 2 筆"));
}

TEST(AppForwarded, OneDuringAQuestionWaitsForItsAnswer)
{
    AppRig rig;
    rig.start();
    const auto run = rig.makeFile("run.zmd", 4);
    const auto other = rig.makeFile("other.zmd", 2);
    ASSERT_TRUE(rig.app->openDocument(run, true));
    rig.expect({ Reply::confirm(true, [&] {
        rig.app->receiveForwardedPath(other);
        rig.pump(); // the question's own message loop
        EXPECT_EQ(rig.app->currentFilePath(), run);
    }) });
    rig.app->clearAll();
    EXPECT_EQ(rig.app->session().recordCount(), 0);
    // Now it opens, after asking about the emptied file-backed set.
    rig.expect({ Reply::unsaved(SaveChoice::dontSave) });
    rig.pump();
    EXPECT_EQ(rig.app->currentFilePath(), other);
    EXPECT_EQ(rig.app->session().recordCount(), 2);
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppForwarded, WhileRecordingOrClosingNothingOpens)
{
    AppRig rig;
    rig.start();
    rig.plugInMeter();
    const auto file = rig.makeFile("run.zmd", 2);
    rig.app->startRecording();
    rig.expect({ Reply::message() });
    rig.app->receiveForwardedPath(file);
    rig.pump();
    EXPECT_TRUE(rig.logs.contains("外部開檔：記錄中，不開啟 " + file));
    EXPECT_EQ(rig.app->session().recordCount(), 1);
    rig.expect({ Reply::yesNo(true), Reply::unsaved(SaveChoice::dontSave) });
    rig.app->requestClose();
    ASSERT_TRUE(rig.view->destroyed);
    rig.app->receiveForwardedPath(file);
    EXPECT_TRUE(rig.logs.contains("轉交開檔：程式關閉中，略過 " + file));
}

TEST(AppForwarded, MessagesThatAreNoOpenRequestAreLogged)
{
    AppRig rig;
    rig.start();
    EXPECT_FALSE(rig.app->receiveCopyData(0, {}));
    EXPECT_TRUE(rig.logs.contains("收到無法辨識的 WM_COPYDATA（dwData 0x0、0 位元組），略過"));
    const std::vector<std::uint8_t> odd(3, 0x41);
    EXPECT_FALSE(rig.app->receiveCopyData(OpenDocumentMessage::identifier, odd));
    EXPECT_TRUE(rig.logs.contains("、3 位元組），略過"));
}

// ---- recording ----

TEST(AppRecording, TheLimitStopsRecordingAndIsToldOnce)
{
    AppRig rig;
    rig.recordLimit = 3;
    rig.start();
    rig.plugInMeter();
    rig.view->interval = 1;
    rig.app->startRecording();
    ASSERT_EQ(rig.app->session().recordCount(), 1);
    rig.tickAfter(1);
    EXPECT_EQ(rig.app->session().recordCount(), 2);
    rig.expect({ Reply::message() });
    rig.tickAfter(1);
    EXPECT_EQ(rig.app->session().recordCount(), 3);
    EXPECT_FALSE(rig.view->recording);
    EXPECT_FALSE(rig.view->timers.contains(sampleTimer));
    EXPECT_EQ(rig.view->rows, 3);
    rig.tickAfter(1);
    EXPECT_EQ(rig.app->session().recordCount(), 3);
    // Start at the limit: the box again, no recording, no timer.
    rig.expect({ Reply::message() });
    rig.app->startRecording();
    EXPECT_FALSE(rig.app->session().isRecording());
    EXPECT_FALSE(rig.view->timers.contains(sampleTimer));
    EXPECT_TRUE(rig.allAnswered());
}

TEST(AppRecording, SettingTheClockBackLeavesNoGap)
{
    AppRig rig;
    rig.start();
    rig.plugInMeter();
    rig.view->interval = 1;
    rig.app->startRecording();
    rig.tickAfter(0.5);
    EXPECT_EQ(rig.app->session().recordCount(), 1); // not due yet
    rig.tickAfter(0.5);
    EXPECT_EQ(rig.app->session().recordCount(), 2);
    *rig.wallOffset -= 30; // the user sets the clock back half a minute
    rig.tickAfter(1);
    rig.tickAfter(1);
    EXPECT_EQ(rig.app->session().recordCount(), 4);
    // The stamps are the wall clock's.
    const auto& records = rig.app->session().records();
    EXPECT_LT(records[2].timestamp(), records[1].timestamp());
    EXPECT_EQ(rig.journalLines(), 4);
}

TEST(AppRecording, IntervalChangesApplyToTheNextStart)
{
    AppRig rig;
    rig.start();
    rig.plugInMeter();
    rig.view->interval = 2;
    rig.app->startRecording();
    rig.app->intervalChanged(5);
    EXPECT_EQ(rig.app->settings().recordInterval, 5);
    rig.tickAfter(2);
    EXPECT_EQ(rig.app->session().recordCount(), 2);
    rig.app->stopRecording();
    EXPECT_TRUE(rig.logs.contains("[DMMApp] 停止記錄（保留 2 筆）\r\n"));
}

// ---- the update hand-over ----

TEST(AppUpdate, HandOverWhileRecordingAndWhileUnsaved)
{
    // Unsaved: the question decides; Save asks for a path.
    {
        AppRig rig;
        rig.startWithRestored(2);
        rig.expect({ Reply::unsaved(SaveChoice::save), Reply::savePath(std::nullopt) });
        EXPECT_FALSE(rig.app->beforeInstallUnsavedCheck(false));
        const auto path = (rig.dir.path() / "before-update.zmd").string();
        rig.expect({ Reply::unsaved(SaveChoice::save), Reply::savePath(path) });
        EXPECT_TRUE(rig.app->beforeInstallUnsavedCheck(false));
        EXPECT_FALSE(rig.app->unsaved());
        EXPECT_TRUE(rig.app->beforeInstallUnsavedCheck(false)); // nothing left to ask
        EXPECT_TRUE(rig.allAnswered());
    }
    // Recording: stopped, then an orderly close that removes the journal.
    {
        AppRig rig;
        rig.start();
        rig.plugInMeter();
        rig.app->startRecording();
        UpdateHost& host = *rig.app;
        EXPECT_TRUE(host.isRecording());
        host.stopRecordingForUpdate();
        host.closeForUpdate("線上更新：安裝程式已啟動，正常關閉");
        EXPECT_TRUE(rig.view->destroyed);
        EXPECT_FALSE(rig.view->timers.contains(sampleTimer));
        EXPECT_EQ(rig.journalLines(), -1);
        EXPECT_TRUE(rig.logs.contains("線上更新：安裝程式已啟動，正常關閉：緩衝檔與側檔已刪除"));
        // The process ends: how long the installer waited is logged, and a
        // wait past its limit says the update did not happen.
        *rig.monotonic += 2.5;
        rig.app->shutdownKeepingJournal();
        EXPECT_TRUE(rig.logs.contains("[DMMApp] 線上更新：程式於安裝程式啟動後 2.5 秒結束\r\n"));
    }
    {
        AppRig rig;
        rig.start();
        UpdateHost& host = *rig.app;
        host.closeForUpdate("線上更新：安裝程式已啟動，正常關閉");
        *rig.monotonic += 130;
        rig.app->shutdownKeepingJournal();
        EXPECT_TRUE(rig.logs.contains("130.0 秒結束，超過安裝程式等待的 120 秒：更新未安裝"));
    }
}

// A manual check whose answer arrives while the close question is open is
// held and applied after it: cancelling the close leaves no "Checking for
// updates…" behind.
TEST(AppUpdate, ACheckEndingDuringTheCloseQuestionIsAppliedAfterIt)
{
    testing::HttpTestServer server;
    server.route("/info.json", [](auto& c) { c.respond(404, "none here"); });
    AppRig rig;
    rig.environment["ZELMAR_UPDATE_URL"] = server.url("/info.json");
    rig.startWithRestored(2);
    rig.app->checkForUpdates();
    ASSERT_EQ(rig.app->updates()->phase(), UpdateController::Phase::checking);
    ASSERT_TRUE(rig.view->notice.has_value());
    const std::string checking = *rig.view->notice;

    rig.expect({ Reply::unsaved(SaveChoice::cancel, [&] {
        // The check's answer arrives through the question's message loop.
        EXPECT_TRUE(testing::eventually(
            [&] {
                rig.queue.run();
                return rig.view->updateResultsRun > 0;
            },
            std::chrono::seconds(60)));
        EXPECT_EQ(rig.view->notice, checking);
    }) });
    rig.app->requestClose();
    ASSERT_FALSE(rig.view->destroyed);
    // After the question: the result, its log line and its message.
    rig.expect({ Reply::message() });
    rig.pump();
    EXPECT_EQ(rig.app->updates()->phase(), UpdateController::Phase::idle);
    EXPECT_NE(rig.view->notice, checking);
    EXPECT_TRUE(rig.logs.contains("更新：檢查失敗（"));
    EXPECT_TRUE(rig.allAnswered());
}

// ---- start-up ----

TEST(AppStart, TheWindowStartsAsSpecifiedAndSaysWhatBuildItIs)
{
    AppRig rig;
    rig.start();
    EXPECT_EQ(rig.view->titleName, std::nullopt);
    EXPECT_FALSE(rig.view->titleUnsaved);
    EXPECT_EQ(rig.view->link, MeterLink::disconnected);
    EXPECT_EQ(rig.view->interval, 10);
    EXPECT_TRUE(rig.dialogs.asked.empty());
    if (UpdateKeyCatalog::isDevelopmentKey()) {
        EXPECT_EQ(rig.view->appVersion, "1.0.0 (development build)");
        EXPECT_TRUE(rig.logs.contains("開發版本"));
        EXPECT_TRUE(rig.logs.contains("啟動完成（版本 1.0.0 (development build)"));
    } else {
        EXPECT_EQ(rig.view->appVersion, "1.0.0");
    }
}

TEST(AppStart, ARecoveryOfNothingIsNotUnsavedAndDiscardDeletesTheJournal)
{
    {
        // A journal without records is nothing to ask about.
        AppRig rig;
        rig.leaveJournal(0);
        rig.start();
        EXPECT_TRUE(rig.dialogs.asked.empty());
        EXPECT_FALSE(rig.app->unsaved());
    }
    {
        AppRig rig;
        rig.leaveJournal(2);
        rig.expect({ Reply::yesNo(false) });
        rig.start();
        EXPECT_EQ(rig.journalLines(), -1);
        EXPECT_EQ(rig.app->session().recordCount(), 0);
        EXPECT_TRUE(rig.logs.contains("[DMMApp] 使用者放棄恢復，緩衝檔已刪除\r\n"));
    }
}

} // namespace
} // namespace zelmar
