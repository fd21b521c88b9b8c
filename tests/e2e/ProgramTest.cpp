// The whole program under Xvfb, driven like a user with xdotool: each test
// runs its own copy of the executable in a directory with blanks and
// Cyrillic letters in its name, with a recording "notepad.exe" on PATH.
#include "tests/app/TradeExpect.h"
#include "tools/tradedb/TradeDb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}

// The first visible window matching the xdotool search arguments, other
// than `except`, or "".
std::string FindWindow(const std::string& searchArgs, const std::string& except = "") {
    std::stringstream found(Capture("xdotool search --onlyvisible " + searchArgs + " 2>/dev/null"));
    std::string window;
    while (std::getline(found, window))
        if (window != except)
            return window;
    return {};
}

std::string WaitForWindow(const std::string& searchArgs, int timeoutMs,
                          const std::string& except = "") {
    std::string window;
    WaitUntil([&] { return !(window = FindWindow(searchArgs, except)).empty(); }, timeoutMs);
    return window;
}

const std::string ProgressSearch = "--name '^ProgressWnd$'";

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Short, because the database's path is typed key by key.
        static int testNumber = 0;
        Root = fs::temp_directory_path() /
               ("e2e прогон " + std::to_string(getpid()) + "-" + std::to_string(++testNumber));
        fs::remove_all(Root);
        ExeDir = Root / "Программа с пробелами";
        Db = Root / "База данных";
        fs::create_directories(ExeDir);
        fs::create_directories(Root / "bin");
        fs::copy_file(VIRIDAZIZ_EXE, ExeDir / "ViridazIZ");
        Record = Root / "notepad-runs";
        std::ofstream(Root / "bin" / "notepad.exe")
            << "#!/bin/sh\n{ printf 'run %s\\n' \"$#\"; for a in \"$@\"; do printf 'arg %s\\n' "
               "\"$a\"; done; } >> "
            << ShellQuote(Record.string()) << "\n";
        fs::permissions(Root / "bin" / "notepad.exe", fs::perms::owner_all);
        fs::create_directories(ARTIFACT_DIR);
    }

    void TearDown() override {
        if (HasFailure()) {
            std::ifstream out(Root / "program.out");
            std::stringstream text;
            text << out.rdbuf();
            std::fprintf(stderr, "program %s, its output:\n%s\n",
                         Pid > 0 && waitpid(Pid, nullptr, WNOHANG) == 0 ? "still running" : "ended",
                         text.str().c_str());
        }
        if (Pid > 0) {
            if (!MainWindow.empty())
                CloseMainWindow();
            if (!WaitForExit(5000)) {
                kill(Pid, SIGKILL);
                waitpid(Pid, nullptr, 0);
            }
        }
        fs::remove_all(Root);
    }

    void Launch(bool withNotepad = true) {
        const std::string path =
            "PATH=" + (withNotepad ? (Root / "bin").string() + ":" : "") + std::getenv("PATH");
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("PATH=", 0) != 0)
                env.push_back(*e);
        env.push_back(path);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string exe = (ExeDir / "ViridazIZ").string();
        char* argv[] = {exe.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (Root / "program.out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        ASSERT_EQ(posix_spawn(&Pid, exe.c_str(), &actions, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        MainWindow = WaitForWindow("--pid " + std::to_string(Pid) + " --name 'Устранение'", 60000);
        ASSERT_NE(MainWindow, "") << "the main window did not appear";
    }

    bool WaitForExit(int timeoutMs) {
        int status = 0;
        bool gone = WaitUntil([&] { return waitpid(Pid, &status, WNOHANG) == Pid; }, timeoutMs);
        if (gone) {
            ExitStatus = status;
            Pid = -1;
        }
        return gone;
    }

    void CloseMainWindow() {
        Capture(std::string(CLOSE_WINDOW_EXE) + " " + MainWindow);
        MainWindow.clear();
    }

    // Closes the main window as its close button would and waits for the
    // program to end. A request that arrives while the window is still being
    // set up may go unheard, so it is repeated.
    bool CloseAndWaitForExit(int timeoutMs) {
        const std::string window = MainWindow;
        for (int waited = 0; waited < timeoutMs; waited += 2000) {
            MainWindow = window;
            CloseMainWindow();
            if (WaitForExit(2000))
                return true;
        }
        return false;
    }

    void Xdo(const std::string& args) { Capture("xdotool " + args + " 2>&1"); }

    void TypeDirectory(const std::string& text) {
        Xdo("windowfocus --sync " + MainWindow);
        // Into the directory edit: after a click on a button the focus is
        // there, not on the edit where it starts.
        Click(11 + 100, 26 + 10);
        Xdo("key --clearmodifiers ctrl+a BackSpace");
        // Letters missing from the keyboard map get a key bound for each of
        // them in turn; typed faster than this, the program may read the
        // key after it has been rebound.
        Xdo("type --delay 60 " + ShellQuote(text));
    }

    void Click(int x, int y) {
        Xdo("mousemove --window " + MainWindow + " " + std::to_string(x) + " " + std::to_string(y) +
            " click 1");
    }
    void ClickRepair() { Click(19 + 90, 167 + 12); }
    void ClickShowLog() { Click(240 + 76, 167 + 12); }

    // The program's boxes carry its title. The search also matches the
    // main window by its class, which carries the same name.
    std::string BoxSearch() const {
        return "--pid " + std::to_string(Pid) + " --name '^ViridazIZ$'";
    }
    std::string WaitForBox(int timeoutMs) {
        std::string box = WaitForWindow(BoxSearch(), timeoutMs, MainWindow);
        // Mapped is not yet painted: give it a moment before anyone looks.
        if (!box.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return box;
    }
    bool PressEnterIn(const std::string& box) {
        Xdo("windowfocus --sync " + box);
        Xdo("key Return");
        return WaitUntil([&] { return FindWindow(BoxSearch(), MainWindow) != box; }, 5000);
    }

    // The log's correction lines, without time stamps.
    std::vector<std::string> FoundLines() {
        std::vector<std::string> found;
        for (const std::string& line : ReadLogLines(LogPath()))
            if (std::string text = AfterTag(line, "[информ.]"); !text.empty())
                found.push_back(text);
        return found;
    }

    // Types the directory and starts the run; returns the progress window
    // or the program's box, whichever shows first, or "". Letters missing
    // from the keyboard map are bound to a key one by one, and under load a
    // letter can come out wrong; the program then rightly finds no database
    // there, writes no log line, and the directory is typed again.
    std::string StartRun(const std::string& dir) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            TypeDirectory(dir);
            ClickRepair();
            std::string progress, box;
            WaitUntil(
                [&] {
                    return !(progress = FindWindow(ProgressSearch)).empty() ||
                           !(box = FindWindow(BoxSearch(), MainWindow)).empty();
                },
                30000);
            if (!progress.empty())
                return progress;
            if (box.empty())
                return {};
            std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it paint
            if (!FoundLines().empty())
                return box;
            std::fprintf(stderr, "the typed directory was not taken; typing it again\n");
            if (!PressEnterIn(box))
                return {};
        }
        return {};
    }

    // Each start of the recording editor: its arguments.
    std::vector<std::vector<std::string>> NotepadRuns() {
        std::vector<std::vector<std::string>> runs;
        std::ifstream in(Record);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("run ", 0) == 0)
                runs.emplace_back();
            else if (line.rfind("arg ", 0) == 0 && !runs.empty())
                runs.back().push_back(line.substr(4));
        }
        return runs;
    }

    // The tables in Db are `before` with its first `rows` selected batches
    // corrected.
    void ExpectCorrected(const TTradeData& before, size_t rows) {
        TTradeData expected = before;
        ApplyCorrection(expected, rows);
        const TTradeData after = ReadTradeData(Db.string());
        ASSERT_EQ(after.Batches.size(), expected.Batches.size());
        for (size_t i = 0; i < after.Batches.size(); ++i) {
            EXPECT_DOUBLE_EQ(after.Batches[i].Count, expected.Batches[i].Count) << i;
            EXPECT_DOUBLE_EQ(after.Batches[i].Ostatok, expected.Batches[i].Ostatok) << i;
        }
        ASSERT_EQ(after.Motions.size(), expected.Motions.size());
        for (size_t i = 0; i < after.Motions.size(); ++i)
            EXPECT_DOUBLE_EQ(after.Motions[i].Count, expected.Motions[i].Count) << i;
    }

    std::string LogPath() const { return (ExeDir / "ViridazIZ.log").string(); }

    void Screenshot(const std::string& window, const std::string& name) {
        Capture("import -window " + window + " " +
                ShellQuote(std::string(ARTIFACT_DIR) + "/" + name));
    }

    fs::path Root, ExeDir, Db, Record;
    pid_t Pid = -1;
    int ExitStatus = -1;
    std::string MainWindow;
};

const std::regex StampedEvent(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3} \[событие\] (.*)$)");

std::string EventText(const std::string& line) {
    std::smatch m;
    return std::regex_match(line, m, StampedEvent) ? m[1].str() : "(not an event line) " + line;
}

} // namespace

TEST_F(ProgramTest, StartAndCloseWriteTheStartAndExitLines) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    Screenshot(MainWindow, "main-window.png");
    ASSERT_TRUE(CloseAndWaitForExit(10000));
    EXPECT_TRUE(WIFEXITED(ExitStatus) && WEXITSTATUS(ExitStatus) == 0);
    std::vector<std::string> lines = ReadLogLines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(EventText(lines[0]), "Старт программы");
    EXPECT_EQ(EventText(lines[1]), "Выход из программы");
}

TEST_F(ProgramTest, ShowLogBeforeAnyRunOpensTheLogWithItsStartLine) {
    ASSERT_NO_FATAL_FAILURE(Launch());
    ClickShowLog();
    ASSERT_TRUE(WaitUntil([&] { return !NotepadRuns().empty(); }, 10000));
    EXPECT_EQ(NotepadRuns(), (std::vector<std::vector<std::string>>{{LogPath()}}));
    std::vector<std::string> lines = ReadLogLines(LogPath());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(EventText(lines[0]), "Старт программы");
}

TEST_F(ProgramTest, RepairRunCorrectsTheDatabaseShowsProgressAndOpensTheLog) {
    MakeSyntheticTradeDatabase(Db.string(), E2E_BATCHES, E2E_NEGATIVE, E2E_BATCHES, 7);
    const TTradeData before = ReadTradeData(Db.string());
    const size_t n = SelectedCount(before);
    ASSERT_GT(n, 0u);

    ASSERT_NO_FATAL_FAILURE(Launch());
    std::string progress = StartRun(Db.string());
    ASSERT_NE(progress, "");
    ASSERT_EQ(FindWindow(BoxSearch(), MainWindow), "") << "a box instead of the progress window";
    Screenshot("root", "progress-window.png");

    std::string box = WaitForBox(120000);
    ASSERT_NE(box, "") << "no completion box";
    Screenshot(box, "completion-box.png");
    EXPECT_EQ(FindWindow(ProgressSearch), "") << "the progress window outlived the run";
    EXPECT_TRUE(NotepadRuns().empty()) << "the log opened before the box was closed";
    ASSERT_TRUE(PressEnterIn(box));
    ASSERT_TRUE(WaitUntil([&] { return !NotepadRuns().empty(); }, 10000));
    EXPECT_EQ(NotepadRuns(), (std::vector<std::vector<std::string>>{{LogPath()}}));

    ExpectCorrected(before, n);
    EXPECT_EQ(FoundLines(), ExpectedLines(before, n));

    // A second run finds nothing left to correct: an error box, no log.
    ClickRepair();
    box = WaitForBox(30000);
    ASSERT_NE(box, "") << "no box after the second run";
    ASSERT_TRUE(PressEnterIn(box));
    ASSERT_TRUE(CloseAndWaitForExit(10000));
    EXPECT_EQ(NotepadRuns().size(), 1u);
    std::vector<std::string> lines = ReadLogLines(LogPath());
    ASSERT_EQ(lines.size(), n + 2);
    EXPECT_EQ(EventText(lines.back()), "Выход из программы");
}

// Short Count columns: the third batch's sum cannot be stored.
TEST_F(ProgramTest, UpdateFailingOnRowKShowsTheErrorAndOpensNoLog) {
    const TTradeData data{
        {{1, "Мука пшеничная", "М-1"}, {2, "Соль \"Экстра\"", "С-2"}},
        {{1, 1, 10, -2}, {2, 2, 20, -3}, {3, 1, 32767, -4}, {4, 2, 5, -1}, {5, 1, 7, 3}},
        {{1, 1, 0, 10}, {2, 2, 0, 20}, {3, 3, 0, 30}, {4, 3, 1, 5}, {5, 4, 0, 5}},
    };
    MakeTradeDatabase(Db.string(), data.Goods, data.Batches, data.Motions,
                      {1251, true, true, true});

    ASSERT_NO_FATAL_FAILURE(Launch());
    ASSERT_NE(StartRun(Db.string()), "");
    std::string box = WaitForBox(30000);
    ASSERT_NE(box, "") << "no error box";
    Screenshot(box, "error-box.png");
    EXPECT_EQ(FindWindow(ProgressSearch), "");
    ASSERT_TRUE(PressEnterIn(box));

    // The window goes on: the log still opens on request, and only then.
    ClickShowLog();
    ASSERT_TRUE(WaitUntil([&] { return !NotepadRuns().empty(); }, 10000));
    EXPECT_EQ(NotepadRuns().size(), 1u);

    ExpectCorrected(data, 2);
    EXPECT_EQ(FoundLines(), ExpectedLines(data, 3));
}

// Without a "notepad.exe" anywhere on PATH the log opens in the program's
// own viewer, which must read the Windows-1251 file as Cyrillic text.
TEST_F(ProgramTest, WithoutNotepadTheLogOpensInTheOwnViewer) {
    fs::copy_file(LOG_VIEWER_EXE, ExeDir / "ViridazIZ-log");
    ASSERT_NO_FATAL_FAILURE(Launch(false));
    ClickShowLog();
    std::string viewer = WaitForWindow("--name '^ViridazIZ.log$'", 20000, MainWindow);
    ASSERT_NE(viewer, "") << "no log viewer";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Screenshot(viewer, "log-viewer.png");
    const std::string viewerPid = Capture("xdotool getwindowpid " + viewer);
    Capture(std::string(CLOSE_WINDOW_EXE) + " " + viewer);
    EXPECT_TRUE(WaitUntil(
        [&] { return FindWindow("--name '^ViridazIZ.log$'", MainWindow).empty(); }, 5000));
    if (!viewerPid.empty())
        kill(std::stoi(viewerPid), SIGKILL); // already gone when all went well
    EXPECT_TRUE(NotepadRuns().empty());
}

// What is not a trade database is refused with an error box; the window
// goes on, nothing is logged and the log does not open by itself.
TEST_F(ProgramTest, DirectoryWithoutDatabaseIsRefused) {
    fs::create_directories(Root / "Каталог" / "Documents.db");
    ASSERT_NO_FATAL_FAILURE(Launch());
    for (const std::string& text : {std::string(), (Root / "Каталог").string()}) {
        SCOPED_TRACE("\"" + text + "\"");
        TypeDirectory(text);
        ClickRepair();
        std::string box = WaitForBox(30000);
        ASSERT_NE(box, "") << "no error box";
        EXPECT_EQ(FindWindow(ProgressSearch), "");
        ASSERT_TRUE(PressEnterIn(box));
    }
    ClickShowLog();
    ASSERT_TRUE(WaitUntil([&] { return !NotepadRuns().empty(); }, 10000));
    EXPECT_EQ(NotepadRuns().size(), 1u);
    EXPECT_EQ(ReadLogLines(LogPath()).size(), 1u);
}

// Started where there is no display at all, the program says so and still
// closes its log properly instead of aborting.
TEST_F(ProgramTest, WithoutADisplayTheProgramEndsInOrder) {
    const std::string exe = (ExeDir / "ViridazIZ").string();
    const std::string output = Capture("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                       ShellQuote(exe) + " 2>&1; echo \"exit $?\"");
    EXPECT_NE(output.find("DISPLAY"), std::string::npos) << output;
    EXPECT_EQ(output.substr(output.rfind('\n') + 1), "exit 1") << output;
    std::vector<std::string> lines = ReadLogLines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(EventText(lines[0]), "Старт программы");
    EXPECT_EQ(EventText(lines[1]), "Выход из программы");
}
