#pragma once

// The application controller over a scripted window: every question is
// answered from a script the test writes (and may do something while it is
// open, as the question's own message loop would let happen), the meter is
// a scripted port, the clocks are the test's, and the journal, the files and
// the settings are real ones in a fresh folder.

#include "app/app_controller.h"
#include "app/instance_lock.h"
#include "core/diagnostic_log.h"
#include "security/signature_service.h"
#include "storage/zmd_file.h"
#include "support/manual_clock.h"
#include "support/scripted_port.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace zelmar::testing {

// Actions posted from any thread, run when the test pumps, as the window's
// message loop would.
class PostQueue {
public:
    bool post(std::function<void()> action)
    {
        std::lock_guard lock(mutex_);
        actions_.push_back(std::move(action));
        return true;
    }
    // Runs what is queued now (and what that posts).
    void run()
    {
        for (;;) {
            std::function<void()> action;
            {
                std::lock_guard lock(mutex_);
                if (actions_.empty())
                    return;
                action = std::move(actions_.front());
                actions_.pop_front();
            }
            action();
        }
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> actions_;
};

enum class Ask { message, confirm, yesNo, unsaved, openPath, savePath, limits };

inline const char* askName(Ask kind)
{
    switch (kind) {
    case Ask::message:
        return "message";
    case Ask::confirm:
        return "confirm";
    case Ask::yesNo:
        return "yes/no";
    case Ask::unsaved:
        return "unsaved";
    case Ask::openPath:
        return "open dialog";
    case Ask::savePath:
        return "save dialog";
    case Ask::limits:
        return "limits";
    }
    return "?";
}

// One answer to one question.
struct Reply {
    Ask kind = Ask::message;
    bool yes = false; // confirm, yes/no
    SaveChoice choice = SaveChoice::cancel; // unsaved
    std::optional<std::string> path; // file dialogs
    // Runs while the question is open.
    std::function<void()> during;
    bool dismissed = false; // yes/no: the box went without an answer
    std::optional<Limits> limits; // the limits dialog: none is Cancel

    static Reply of(Ask kind, std::function<void()> during)
    {
        Reply reply;
        reply.kind = kind;
        reply.during = std::move(during);
        return reply;
    }
    static Reply message(std::function<void()> during = {}) { return of(Ask::message, std::move(during)); }
    static Reply confirm(bool ok, std::function<void()> during = {})
    {
        Reply reply = of(Ask::confirm, std::move(during));
        reply.yes = ok;
        return reply;
    }
    static Reply yesNo(bool yes, std::function<void()> during = {})
    {
        Reply reply = of(Ask::yesNo, std::move(during));
        reply.yes = yes;
        return reply;
    }
    // A close sent to the box itself ends it without an answer.
    static Reply yesNoDismissed(std::function<void()> during = {})
    {
        Reply reply = of(Ask::yesNo, std::move(during));
        reply.dismissed = true;
        return reply;
    }
    static Reply unsaved(SaveChoice choice, std::function<void()> during = {})
    {
        Reply reply = of(Ask::unsaved, std::move(during));
        reply.choice = choice;
        return reply;
    }
    static Reply openPath(std::optional<std::string> path, std::function<void()> during = {})
    {
        Reply reply = of(Ask::openPath, std::move(during));
        reply.path = std::move(path);
        return reply;
    }
    static Reply savePath(std::optional<std::string> path, std::function<void()> during = {})
    {
        Reply reply = of(Ask::savePath, std::move(during));
        reply.path = std::move(path);
        return reply;
    }
    // The limits dialog: none is Cancel.
    static Reply limitsSet(std::optional<Limits> limits, std::function<void()> during = {})
    {
        Reply reply = of(Ask::limits, std::move(during));
        reply.limits = limits;
        return reply;
    }
};


struct Dialogs {
    std::deque<Reply> replies;
    std::vector<std::string> asked; // "confirm: Delete Rows"
    std::vector<std::string> texts; // the question texts, in order
    std::vector<std::string> proposedNames; // what the save dialogs proposed

    Reply answer(Ask kind, std::string_view title, std::string_view text)
    {
        asked.push_back(std::string(askName(kind)) + ": " + std::string(title));
        texts.emplace_back(text);
        if (replies.empty()) {
            ADD_FAILURE() << "a question nobody expected: " << asked.back();
            return Reply::of(kind, {});
        }
        Reply reply = std::move(replies.front());
        replies.pop_front();
        EXPECT_EQ(askName(reply.kind), std::string(askName(kind))) << "asked " << asked.back();
        if (reply.during)
            reply.during();
        return reply;
    }
};

class ScriptedUpdateView;

class ScriptedView final : public AppView {
public:
    ScriptedView(PostQueue& queue, Dialogs& dialogs)
        : queue_(queue)
        , dialogs_(dialogs)
    {
    }

    std::weak_ptr<AppController> controller;
    std::string appVersion;
    std::optional<std::string> titleName;
    bool titleUnsaved = false;
    std::optional<MeterLink> link;
    std::string channel;
    bool recording = false;
    std::int64_t rows = 0;
    int appended = 0;
    int interval = 10;
    std::map<unsigned, unsigned> timers;
    int busy = 0;
    int busyWhileAsking = 0;
    bool destroyed = false;
    bool ownDialogOpen = false; // a box of the window's own, not the controller's
    std::optional<std::string> notice;
    int updateResultsRun = 0;
    std::vector<LimitsFor> limits; // as the chart and the table have them
    std::vector<std::optional<std::string>> alarms; // every change of the alarm shown
    int beeps = 0;
    std::vector<std::uint8_t> picture { 0x89, 'P', 'N', 'G' }; // what the chart gives
    std::vector<Limits> limitsAsked; // the limits each dialog started with
    std::optional<Reading> lastShown;

    void connect(const std::weak_ptr<AppController>& c) override { controller = c; }
    bool post(std::function<void()> action) override { return queue_.post(std::move(action)); }
    void setAppVersion(const std::string& version) override { appVersion = version; }
    void setTitle(const std::optional<std::string>& fileName, bool unsaved) override
    {
        titleName = fileName;
        titleUnsaved = unsaved;
    }
    void setConnection(MeterLink l, std::string_view) override { link = l; }
    void setChannelText(const std::string& text) override { channel = text; }
    void showReading(const Reading& reading) override { lastShown = reading; }
    void showDisconnected() override { }
    void setRecording(bool r) override { recording = r; }
    void appendRecord(const Reading&, std::int64_t total) override
    {
        rows = total;
        ++appended;
    }
    void reloadRecords(std::int64_t count) override { rows = count; }
    void resetRecords() override { rows = 0; }
    void setInterval(int i) override { interval = i; }
    int currentInterval() const override { return interval; }
    void setChartVisible(bool) override { }
    void setAlwaysOnTop(bool) override { }
    void restorePlacement(const WindowPlacement&) override { }
    std::optional<WindowPlacement> capturePlacement() const override { return std::nullopt; }
    void bringToFront() override { }
    void setBusy(bool b) override { busy += b ? 1 : -1; }
    void setLimits(const std::vector<LimitsFor>& l) override { limits = l; }
    void setAlarm(const std::optional<std::string>& status) override { alarms.push_back(status); }
    void beep() override { ++beeps; }
    std::vector<std::uint8_t> chartPicture() override { return picture; }
    std::optional<Limits> askLimits(std::string_view forWhat, const Limits& current) override
    {
        limitsAsked.push_back(current);
        return ask(Ask::limits, "Limits", forWhat).limits;
    }
    void startTimer(unsigned id, unsigned ms) override { timers[id] = ms; }
    void stopTimer(unsigned id) override { timers.erase(id); }
    bool canShowDialog() const override { return !destroyed && !ownDialogOpen; }
    bool hasModalDialog() const override { return ownDialogOpen; }
    void showMessage(MessageKind, std::string_view text, std::string_view title) override
    {
        (void)ask(Ask::message, title, text);
    }
    bool confirm(std::string_view text, std::string_view title) override { return ask(Ask::confirm, title, text).yes; }
    std::optional<bool> askYesNo(std::string_view text, std::string_view title) override
    {
        const auto reply = ask(Ask::yesNo, title, text);
        return reply.dismissed ? std::nullopt : std::optional(reply.yes);
    }
    SaveChoice askUnsaved(std::string_view text, std::string_view title) override
    {
        return ask(Ask::unsaved, title, text).choice;
    }
    std::optional<std::string> askOpenPath(const std::optional<std::string>&) override
    {
        return ask(Ask::openPath, "Open", "").path;
    }
    std::optional<std::string> askSavePath(
        std::string_view proposedName, const std::optional<std::string>&, ui::FileDialogType) override
    {
        dialogs_.proposedNames.emplace_back(proposedName);
        return ask(Ask::savePath, "Save As", "").path;
    }
    bool captureSnapshot(const std::string&, const std::optional<std::string>&) override { return false; }
    std::unique_ptr<UpdateView> makeUpdateView(DeferredUI& deferred) override;
    void destroy() override
    {
        EXPECT_FALSE(destroyed) << "the window was destroyed twice";
        destroyed = true;
        timers.clear();
    }

private:
    Reply ask(Ask kind, std::string_view title, std::string_view text)
    {
        EXPECT_FALSE(destroyed) << "a question after the window went: " << askName(kind);
        if (busy > 0)
            ++busyWhileAsking;
        return dialogs_.answer(kind, title, text);
    }

    PostQueue& queue_;
    Dialogs& dialogs_;
};

struct NoInstallations final : InstallerLaunch::Environment {
    InstallerLaunch::Registration perUser() const override { return {}; }
    InstallerLaunch::Registration machine() const override { return {}; }
    std::optional<std::wstring> executableFolder() const override { return std::nullopt; }
};

// The update controller's screen: its notice and messages go to the
// scripted window; it never downloads.
class ScriptedUpdateView final : public UpdateView {
public:
    ScriptedUpdateView(ScriptedView& window, PostQueue& queue, DeferredUI& deferred)
        : window_(window)
        , queue_(queue)
        , deferred_(deferred)
    {
    }
    bool post(std::function<void()> action) override
    {
        return queue_.post([this, action = std::move(action)] {
            action();
            ++window_.updateResultsRun;
        });
    }
    void defer(std::function<void()> action) override { deferred_.enqueue(std::move(action)); }
    void setNotice(std::optional<std::string> text, bool) override { window_.notice = std::move(text); }
    void showMessage(MessageKind, const std::string& title, const std::string& text) override
    {
        window_.showMessage(zelmar::MessageKind::error, text, title);
    }
    UpdateFlow::PromptChoice askUpdate(const UpdatePromptRequest&) override
    {
        return UpdateFlow::PromptChoice::remindLater;
    }
    bool runProgress(std::function<void()>, std::function<void()>) override { return false; }
    void setProgress(int, const std::optional<std::string>&) override { }
    void setProgressText(const std::string&) override { }
    void closeProgress() override { }
    const InstallerLaunch::Environment& installations() const override { return installations_; }
    std::expected<void, UpdateFailure> launch(const InstallerLaunch::Plan&) override
    {
        return std::unexpected(UpdateFailure::of(UpdateFailure::Kind::launchFailed));
    }

private:
    ScriptedView& window_;
    PostQueue& queue_;
    DeferredUI& deferred_;
    NoInstallations installations_;
};

inline std::unique_ptr<UpdateView> ScriptedView::makeUpdateView(DeferredUI& deferred)
{
    return std::make_unique<ScriptedUpdateView>(*this, queue_, deferred);
}

// Some readings a minute apart, from a fixed moment.
inline std::vector<Reading> someReadings(int count, const char* text = "12.34")
{
    std::vector<Reading> readings;
    for (int i = 0; i < count; ++i)
        readings.emplace_back(1'700'000'000.0 + 60.0 * i, 2, 1, text, DmmFlags {}, 0);
    return readings;
}

class AppRig {
public:
    AppRig()
    {
        script->present = false; // no meter unless a test plugs one in
    }
    ~AppRig()
    {
        if (app)
            app->shutdownKeepingJournal();
    }
    AppRig(const AppRig&) = delete;
    AppRig& operator=(const AppRig&) = delete;

    AppStartup startup(TestHooks hooks = {})
    {
        AppStartup s;
        s.language = AppLanguage::enUS;
        s.dataDirectory = dir.path() / "data";
        s.hooks = std::move(hooks);
        s.port = std::make_unique<ScriptedPort>(script);
        s.pollPeriodMs = 100;
        s.recordLimit = recordLimit;
        s.pollingTiming = timing();
        s.wallClock = [clock = clock, offset = wallOffset] { return clock->wallSeconds() + *offset; };
        s.monotonicClock = [monotonic = monotonic] { return *monotonic; };
        s.version = "1.0.0";
        s.environment = environment;
        s.settings = settings;
        return s;
    }

    // Creates the controller; questions asked on the way take the replies
    // queued before.
    void start(TestHooks hooks = {}, std::optional<std::string> launchPath = std::nullopt)
    {
        auto s = startup(std::move(hooks));
        s.launchPath = std::move(launchPath);
        auto made = AppController::create(
            std::move(s), [this](AppLanguage) -> std::expected<std::unique_ptr<AppView>, std::string> {
                auto made = std::make_unique<ScriptedView>(queue, dialogs);
                view = made.get();
                return std::unique_ptr<AppView>(std::move(made));
            });
        ASSERT_TRUE(made.has_value()) << made.error();
        app = *made;
    }

    // Starts over a journal of `count` records left by an earlier run,
    // restored.
    void startWithRestored(int count)
    {
        leaveJournal(count);
        expect({ Reply::yesNo(true) });
        start();
    }

    // Starts while another writer (the command-line logger) holds the data
    // directory with a journal of `count` records; resetting the answer is
    // that writer ending.
    std::optional<InstanceLock> startBesideLogger(int count)
    {
        leaveJournal(count);
        std::filesystem::create_directories(dataDir());
        auto lock = InstanceLock::acquire(dataDir());
        EXPECT_TRUE(lock.has_value());
        start();
        EXPECT_FALSE(app->holdsDataDirectory());
        return lock ? std::optional<InstanceLock>(std::move(*lock)) : std::nullopt;
    }

    // A pending close runs now; its unsaved question is cancelled and the
    // `count` records stay, in memory and in the journal.
    void expectCloseCancelledKeeping(int count)
    {
        expect({ Reply::unsaved(SaveChoice::cancel) });
        pump();
        EXPECT_TRUE(allAnswered());
        EXPECT_FALSE(view->destroyed);
        EXPECT_EQ(app->session().recordCount(), count);
        EXPECT_EQ(journalLines(), count);
    }

    // The window's message loop for a moment: posted actions, then the
    // deferred queue's timer while it runs.
    void pump()
    {
        for (int i = 0; i < 50; ++i) {
            queue.run();
            if (!view || !view->timers.contains(deferredTimer))
                return;
            app->onTimer(deferredTimer);
        }
    }

    // A sample tick `seconds` later on the monotonic clock.
    void tickAfter(double seconds)
    {
        *monotonic += seconds;
        app->onTimer(sampleTimer);
    }

    void plugInMeter()
    {
        script->with([](PortScript& s) {
            s.present = true;
            return 0;
        });
        ASSERT_TRUE(eventually([&] { return app->session().latestReading(wall()).has_value(); },
            std::chrono::seconds(60)));
    }

    // The meter shows a display report from now on; returns once the
    // window has shown a reading of that value (none: an overload).
    void meterShows(const Answer& report, std::optional<double> value)
    {
        script->with([&](PortScript& s) {
            s.answers.clear();
            s.whenEmpty = report;
            return 0;
        });
        ASSERT_TRUE(eventually(
            [&] {
                queue.run();
                return view->lastShown && view->lastShown->value() == value;
            },
            std::chrono::seconds(60)));
    }

    [[nodiscard]] double wall() const { return clock->wallSeconds() + *wallOffset; }
    [[nodiscard]] std::filesystem::path dataDir() const { return dir.path() / "data"; }
    [[nodiscard]] std::filesystem::path journal() const { return DMMSession::journalPath(dataDir()); }
    // Records in the journal on disk; -1 when there is none.
    [[nodiscard]] int journalLines() const
    {
        if (!std::filesystem::exists(journal()))
            return -1;
        const auto bytes = readFile(journal());
        return static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
    }

    // What an earlier run (or the command-line logger) left: a journal of
    // `count` records in the data directory.
    void leaveJournal(int count)
    {
        DMMSession other(std::make_unique<ScriptedPort>(std::make_shared<PortScript>()), dataDir(), 100, 600'000,
            timing());
        other.loadRecords(someReadings(count), 0);
        other.shutdownKeepingJournal();
    }

    // A signed measurement file of `count` records; its path as UTF-8.
    std::string makeFile(const std::string& name, int count, const char* text = "12.34")
    {
        TempDir scratch;
        DMMSession other(std::make_unique<ScriptedPort>(std::make_shared<PortScript>()), scratch.path(), 100,
            600'000, timing());
        other.loadRecords(someReadings(count, text), 0);
        const ZmdDocument document { "DMM-5174K", "ZELMAR DMM-5174K test", 1'700'000'000.0, 0, other.journalRecords() };
        const auto path = dir.path() / name;
        EXPECT_TRUE(ZmdFile::save(document, path, ZmdSignatureService::shared()).has_value());
        other.shutdownDiscardingJournal();
        const auto text8 = path.u8string();
        return std::string(text8.begin(), text8.end());
    }

    void expect(std::initializer_list<Reply> replies)
    {
        dialogs.replies.insert(dialogs.replies.end(), replies.begin(), replies.end());
    }
    [[nodiscard]] bool allAnswered() const { return dialogs.replies.empty(); }

    PollingTiming timing() const
    {
        PollingTiming t { 5, 50, 5, 3, 5 };
        t.clock = clock;
        return t;
    }

    log::LogCapture logs;
    TempDir dir;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<double> wallOffset = std::make_shared<double>(0.0);
    std::shared_ptr<double> monotonic = std::make_shared<double>(1000.0);
    std::shared_ptr<PortScript> script = std::make_shared<PortScript>();
    int recordLimit = DMMSession::applicationRecordLimit;
    Environment environment;
    AppSettings settings; // as read from the settings file at start
    PostQueue queue;
    Dialogs dialogs;
    ScriptedView* view = nullptr;
    std::shared_ptr<AppController> app;
};

} // namespace zelmar::testing
