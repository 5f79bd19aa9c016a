// keymixw end to end, in a real window: each test starts keymixw.exe under Wine
// inside Xvfb, drives it from outside through the driver program the way a
// person would (typing into fields, clicking, answering message boxes, choosing
// files in the dialogs, dragging files onto the window) and checks what the
// window shows and what lands on disk. run.sh builds and runs this program.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/gui/harness.h"
#include "tests/test_util.h"

namespace {

using gui_test::Driver;
using gui_test::Fields;
using gui_test::readText;
using gui_test::Reply;
using gui_test::windowsPath;
using gui_test::writeText;
using test_util::TempDir;

// The main window's controls in the order they were created.
enum Control {
    INPUT_LABEL,
    INPUT_EDIT,
    INPUT_BROWSE,
    OUTPUT_LABEL,
    OUTPUT_EDIT,
    OUTPUT_BROWSE,
    VOLUME_LABEL,
    VOLUME_EDIT,
    KEEP_SOUND_CHECK,
    PROGRESS_BAR,
    CONVERT_BUTTON,
    STATUS_LABEL,
    EXTENDED_CHECK,
    SILENT_CHECK,
    NORMALISE_CHECK,
    FOLDER_BUTTON,
    PREVIEWS_CHECK,
    CONTROL_COUNT
};

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr char START_STATUS[] = "入力BMSファイルを指定して変換ボタンを押せ！";
constexpr char FINISHED[] = "終了 WAVファイルへ書き込みました";
constexpr char LOADING[] = "WAV読み込み中";
constexpr char CONVERT_FAILED[] = "WAVへの変換失敗 FILE : ";
// What the failure box adds when extended reading was on.
constexpr char MISSING_HINT[] =
    "\nこのWAVが見つからないか読めません。\n"
    "「見つからないWAVは無音にする」をチェックすれば無音にして変換できます。";

// Where run.sh put the programs and where the screenshots go.
std::string setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A message box as the driver reads it: buttons as "id=label" joined by "|",
// the icon as "error", "question", "warning", "information" or "none".
struct Box {
    std::string handle, caption, text, buttons, icon;
};

// The button ids of a box, without their labels (which are the platform's).
std::string buttonIds(const std::string& buttons) {
    std::string ids;
    size_t start = 0;
    while (start < buttons.size()) {
        size_t end = buttons.find('|', start);
        if (end == std::string::npos) end = buttons.size();
        std::string button = buttons.substr(start, end - start);
        ids += (ids.empty() ? "" : ",") + button.substr(0, button.find('='));
        start = end + 1;
    }
    return ids;
}

class KeymixwTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        driver = new Driver;
        if (!driver->start(setting("KEYMIX_GUI_DRIVER"))) {
            delete driver;
            driver = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete driver;
        driver = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(nullptr, driver) << "the driver did not start";
        Reply launched = call(
            {"launch", "\"" + windowsPath(setting("KEYMIXW_EXE")) + "\"", windowsPath(dir.path())});
        ASSERT_TRUE(launched.ok) << launched.error;
        // The first start in a new prefix builds Wine's font cache: allow for it.
        Reply found = call({"find_main", "KEYMIX", "60000"});
        ASSERT_TRUE(found.ok) << found.error;
        mainWindow = found.at(0);
        Reply listed = call({"children", mainWindow});
        ASSERT_TRUE(listed.ok) << listed.error;
        ASSERT_EQ(CONTROL_COUNT, static_cast<int>(listed.rows.size()));
        for (const Fields& row : listed.rows) {
            controls.push_back(row[0]);
            controlRows.push_back(row);
        }
    }

    void TearDown() override {
        if (!driver) return;
        if (HasFailure()) shoot("failed-" + testName());
        Reply dialogs = call({"dialogs", mainWindow});
        if (!mainWindow.empty() && dialogs.ok && dialogs.at(0).empty()) {
            call({"close", mainWindow});
            Reply exited = call({"wait_exit", "10000"});
            EXPECT_TRUE(exited.ok) << exited.error;
            EXPECT_EQ("0", exited.at(0)) << "exit code after closing the window";
        }
        call({"kill"});
    }

    static std::string testName() {
        return testing::UnitTest::GetInstance()->current_test_info()->name();
    }

    Reply call(const Fields& command) {
        Reply reply = driver->call(command);
        if (!reply.ok && reply.error.find("driver") != std::string::npos)
            ADD_FAILURE() << reply.error;
        return reply;
    }

    std::string text(Control control) {
        Reply reply = call({"text", controls[control]});
        EXPECT_TRUE(reply.ok) << reply.error;
        return reply.at(0);
    }
    void type(Control control, const std::string& value) {
        Reply reply = call({"settext", controls[control], value});
        EXPECT_TRUE(reply.ok) << reply.error;
    }
    void click(Control control) { EXPECT_TRUE(call({"click", controls[control]}).ok); }
    // The status line through the system's copy, readable during a conversion.
    std::string status() { return call({"itext", controls[STATUS_LABEL]}).at(0); }
    // Position and range of the progress bar as "position low high".
    std::string progress() {
        Reply reply = call({"progress", controls[PROGRESS_BAR]});
        return reply.at(0) + " " + reply.at(1) + " " + reply.at(2);
    }
    std::string checkState(Control box = KEEP_SOUND_CHECK) {
        return call({"getcheck", controls[box]}).at(0);
    }
    void tick(Control box, bool checked) {
        EXPECT_TRUE(call({"setcheck", controls[box], checked ? "1" : "0"}).ok);
    }

    // Waits until everything posted so far has been handled, or has opened the
    // modal box that it opens; a conversion may take a while.
    void settle() {
        Reply reply = call({"barrier", controls[VOLUME_EDIT], "60000"});
        EXPECT_TRUE(reply.ok) << reply.error;
    }

    std::string openDialogs() {
        settle();
        return call({"dialogs", mainWindow}).at(0);
    }

    // The next box (or dialog) the main window owns, read in full.
    Box waitBox() {
        Reply found = call({"wait_dialog", mainWindow, "20000"});
        EXPECT_TRUE(found.ok) << "no box appeared: " << found.error;
        if (!found.ok) return Box();
        Reply read = call({"box", found.at(0), "5000"});
        EXPECT_TRUE(read.ok) << read.error;
        return Box{found.at(0), read.at(0), read.at(1), read.at(2), read.at(3)};
    }

    void expectBox(const Box& box, const std::string& caption, const std::string& text,
                   const std::string& buttonIdList, const std::string& icon) {
        EXPECT_EQ(caption, box.caption);
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(buttonIdList, buttonIds(box.buttons)) << box.buttons;
        EXPECT_EQ(icon, box.icon);
    }

    // Presses a button of a box or dialog and waits until it has gone.
    void answer(const Box& box, int id) {
        if (box.handle.empty()) return;
        call({"command", box.handle, std::to_string(id)});
        Reply gone = call({"wait_gone", box.handle, "10000"});
        EXPECT_TRUE(gone.ok) << gone.error;
    }

    // Types `path` into the file name field of an open or save dialog and
    // presses its OK button.
    void chooseInDialog(const Box& dialog, const std::string& path) {
        Reply chosen = call({"choose_file", dialog.handle, path});
        EXPECT_TRUE(chosen.ok) << chosen.error;
        Reply gone = call({"wait_gone", dialog.handle, "10000"});
        EXPECT_TRUE(gone.ok) << gone.error;
        settle();
    }

    // Drags the files from Linux onto the middle of a control, as a file
    // manager would.
    void drop(Control over, const Fields& linuxPaths) {
        Reply window = call({"window", mainWindow});
        Reply control = call({"window", controls[over]});
        Reply xid = call({"xid", mainWindow});
        ASSERT_TRUE(window.ok && control.ok && xid.ok);
        int x = std::stoi(control.at(7)) - std::stoi(window.at(7)) + std::stoi(control.at(9)) / 2;
        int y = std::stoi(control.at(8)) - std::stoi(window.at(8)) + std::stoi(control.at(10)) / 2;
        Fields argv = {setting("KEYMIX_GUI_XDND"), xid.at(0), std::to_string(x), std::to_string(y)};
        argv.insert(argv.end(), linuxPaths.begin(), linuxPaths.end());
        ASSERT_EQ(0, gui_test::runProgram(argv, "", "", 30)) << "the drop did not finish";
        settle();
    }

    // A PNG of the main window with its frame, in the build folder.
    void shoot(const std::string& name) {
        settle();
        call({"paint", mainWindow});
        // Wine hands painted pixels to the X server in batches, a few times a
        // second; give the last batch time to arrive.
        usleep(200000);
        Reply xid = call({"xid", mainWindow});
        Fields argv = {"import", "-window", xid.ok ? xid.at(0) : "root"};
        argv.push_back(setting("KEYMIX_GUI_SHOTS") + "/" + name + ".png");
        EXPECT_EQ(0, gui_test::runProgram(argv, "", "", 30)) << "no screenshot " << name;
    }

    // The example chart and its samples copied into the test's folder, or into a
    // folder below it; returns the chart's Linux path.
    std::string copyExample(const std::string& folder = "") {
        const std::string examples = setting("KEYMIX_EXAMPLES");
        if (!folder.empty()) dir.mkdir(folder);
        const std::string prefix = folder.empty() ? "" : folder + "/";
        for (const char* name : {"demo.bms", "bass.wav", "hihat.wav", "kick.wav", "pluck_a.wav",
                                 "pluck_cs.wav", "pluck_e.wav", "rim.wav", "snare.wav"}) {
            EXPECT_TRUE(gui_test::copyFile(examples + "/" + name, dir.file(prefix + name))) << name;
        }
        return dir.file(prefix + "demo.bms");
    }

    // Runs keymix under Wine in the test's folder; true when it succeeded.
    bool runConsole(Fields options) {
        Fields argv = {"wine", setting("KEYMIX_EXE")};
        argv.insert(argv.end(), options.begin(), options.end());
        return gui_test::runProgram(argv, dir.path(), dir.file("console.log")) == 0;
    }

    // The report of a library run without its column of seconds, which differ from run to run.
    static std::string reportWithoutTimes(const std::string& path) {
        std::string rows, line;
        std::istringstream lines(readText(path));
        while (std::getline(lines, line)) {
            size_t column = 0;
            for (int i = 0; i < 3 && column != std::string::npos; ++i)
                column = line.find('\t', column + (i > 0));
            const size_t end = column == std::string::npos ? column : line.find('\t', column + 1);
            if (end != std::string::npos) line.erase(column, end - column);
            rows += line + "\n";
        }
        return rows;
    }

    // A PNG of the main window with a box of it placed just below.
    void shootWithBox(const Box& box, const std::string& name) {
        EXPECT_TRUE(call({"move", box.handle, "0", "250"}).ok);
        settle();
        call({"paint", box.handle});
        usleep(300000);
        EXPECT_EQ(0, gui_test::runProgram({"import", "-window", "root", "-crop", "466x420+0+0",
                                           setting("KEYMIX_GUI_SHOTS") + "/" + name + ".png"},
                                          "", "", 30))
            << "no screenshot " << name;
    }

    // What the console program writes for `chart` with `options`, run in the
    // same folder under Wine, into a file whose name ends in `extension`.
    std::string consoleWav(const std::string& chart, Fields options,
                           const std::string& extension = ".wav") {
        const std::string output = dir.file("console-reference" + extension);
        Fields argv = {"wine", setting("KEYMIX_EXE")};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"-o", windowsPath(output), windowsPath(chart)});
        EXPECT_EQ(0, gui_test::runProgram(argv, dir.path(), dir.file("console.log")))
            << readText(dir.file("console.log"));
        std::string wav = readText(output);
        std::remove(output.c_str());
        EXPECT_GT(wav.size(), 44u) << "the console program wrote no song";
        return wav;
    }

    static Driver* driver;
    TempDir dir;
    std::string mainWindow;
    Fields controls;
    std::vector<Fields> controlRows;
};

Driver* KeymixwTest::driver = nullptr;

TEST_F(KeymixwTest, StartsWithItsTitleControlsAndStates) {
    Reply window = call({"window", mainWindow});
    ASSERT_TRUE(window.ok);
    EXPECT_EQ("KEYMIX", window.at(0));
    EXPECT_EQ("KEYMIX GUI BETA 13", window.at(1));
    // Caption, system menu and minimize box; no sizing border, no maximize box.
    unsigned long style = std::stoul(window.at(2)), exStyle = std::stoul(window.at(3));
    EXPECT_EQ(0x00CA0000ul, style & 0x00CF0000ul);
    EXPECT_EQ(0x00020010ul, exStyle & 0x00020010ul) << "static edge and accepting files";
    EXPECT_EQ("465 245", window.at(9) + " " + window.at(10)) << "outer size";

    // Styles are exact: child and visible, the class's own bits, no tab stop
    // and no other extra. The path fields scroll sideways (ES_AUTOHSCROLL), the
    // check box checks itself (BS_AUTOCHECKBOX), edits have a sunken edge.
    const struct {
        const char* className;
        int id;
        int x, y, width, height;
        unsigned long style, exStyle;
        const char* text;
    } expected[CONTROL_COUNT] = {
        {"Static", 0, 5, 14, 25, 20, 0x50000000, 0, "入力"},
        {"Edit", 0, 40, 10, 350, 20, 0x50000080, 0x200, ""},
        {"Button", 1001, 400, 10, 50, 20, 0x50000000, 0, "参照"},
        {"Static", 0, 5, 44, 25, 20, 0x50000000, 0, "出力"},
        {"Edit", 0, 40, 40, 350, 20, 0x50000080, 0x200, ""},
        {"Button", 1002, 400, 40, 50, 20, 0x50000000, 0, "参照"},
        {"Static", 0, 5, 74, 55, 20, 0x50000000, 0, "音量( % )"},
        {"Edit", 0, 70, 70, 50, 20, 0x50000000, 0x200, "50"},
        {"Button", 0, 150, 70, 210, 20, 0x50000003, 0, "同じWAVが鳴っても前のを消さない"},
        {"msctls_progress32", 0, 5, 100, 384, 30, 0x50000000, 0, ""},
        {"Button", 1003, 400, 100, 50, 30, 0x50000000, 0, "変換"},
        {"Static", 0, 5, 135, 460, 20, 0x50000000, 0, START_STATUS},
        {"Button", 0, 150, 160, 210, 20, 0x50000003, 0, "拡張WAV読み込み (OGG/FLAC/MP3)"},
        {"Button", 0, 150, 180, 210, 20, 0x50000003, 0, "見つからないWAVは無音にする"},
        {"Button", 0, 150, 200, 210, 20, 0x50000003, 0, "音量を揃えて音割れを防ぐ"},
        {"Button", 1004, 5, 160, 135, 20, 0x50000000, 0, "フォルダ一括変換"},
        {"Button", 0, 5, 182, 140, 20, 0x50000003, 0, "プレビューを作る"},
    };
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        SCOPED_TRACE(i);
        const Fields& row = controlRows[i];
        const auto& want = expected[i];
        EXPECT_EQ(want.className, row[1]);
        EXPECT_EQ(std::to_string(want.id), row[2]);
        EXPECT_EQ(want.style, std::stoul(row[3]));
        EXPECT_EQ(want.exStyle, std::stoul(row[4]));
        EXPECT_EQ(std::to_string(want.x) + " " + std::to_string(want.y) + " " +
                      std::to_string(want.width) + " " + std::to_string(want.height),
                  row[5] + " " + row[6] + " " + row[7] + " " + row[8]);
        EXPECT_EQ("1", row[9]) << "visible";
        EXPECT_EQ(want.text, row[10]);
    }
    EXPECT_EQ("1", checkState());
    EXPECT_EQ("0 0 0 0", checkState(EXTENDED_CHECK) + " " + checkState(SILENT_CHECK) + " " +
                             checkState(NORMALISE_CHECK) + " " + checkState(PREVIEWS_CHECK));
    EXPECT_EQ("0 0 200", progress());

    // The program's icon: one 32 x 32 image of 24 bits per pixel named MAIN_ICON.
    Reply icon = call({"icon_resource", windowsPath(setting("KEYMIXW_EXE")), "MAIN_ICON"});
    ASSERT_TRUE(icon.ok) << icon.error;
    EXPECT_EQ("1 32 32 24", icon.at(0) + " " + icon.at(1) + " " + icon.at(2) + " " + icon.at(3));
    shoot("keymixw-start");
}

TEST_F(KeymixwTest, BrowseDialogsFillThePathFields) {
    const std::string chart = windowsPath(dir.write("song.bme", ""));
    type(OUTPUT_EDIT, "Z:\\elsewhere\\typed.wav");

    // Cancelling changes nothing.
    click(INPUT_BROWSE);
    answer(waitBox(), IDCANCEL);
    settle();
    EXPECT_EQ("", text(INPUT_EDIT));
    EXPECT_EQ("Z:\\elsewhere\\typed.wav", text(OUTPUT_EDIT));

    // A chosen chart replaces the typed output path with the proposed one.
    click(INPUT_BROWSE);
    Box open = waitBox();
    EXPECT_EQ("BMSファイルを開く", open.caption);
    EXPECT_EQ("BMSファイル(*.bms;*.bme;*.bml;*.pms;*.bmson)",
              call({"file_dialog", open.handle}).at(1));
    chooseInDialog(open, chart);
    EXPECT_EQ(chart, text(INPUT_EDIT));
    EXPECT_EQ(windowsPath(dir.file("song.wav")), text(OUTPUT_EDIT));

    // The save dialog takes the path as typed: no extension is added.
    click(OUTPUT_BROWSE);
    Box save = waitBox();
    EXPECT_EQ("WAVファイルを保存する", save.caption);
    EXPECT_EQ("WAVファイル(*.wav)", call({"file_dialog", save.handle}).at(1));
    chooseInDialog(save, windowsPath(dir.file("mixdown")));
    EXPECT_EQ(chart, text(INPUT_EDIT));
    EXPECT_EQ(windowsPath(dir.file("mixdown")), text(OUTPUT_EDIT));
}

TEST_F(KeymixwTest, DropFillsInputAndProposesOutput) {
    dir.mkdir("日本 語");
    const struct {
        Control over;
        Fields names;  // dropped together, in this order
        const char* input;
        const char* output;
    } cases[] = {
        {INPUT_EDIT, {"日本 語/曲 a.bme"}, "日本 語\\曲 a.bme", "日本 語\\曲 a.wav"},
        {PROGRESS_BAR, {"first.bms", "second.bms", "third.bms"}, "first.bms", "first.wav"},
        {OUTPUT_EDIT, {"no_extension"}, "no_extension", "no_extension.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Fields paths;
        for (const std::string& name : c.names) paths.push_back(dir.write(name, ""));
        drop(c.over, paths);
        const std::string folder = windowsPath(dir.path()) + "\\";
        EXPECT_EQ(folder + c.input, text(INPUT_EDIT));
        EXPECT_EQ(folder + c.output, text(OUTPUT_EDIT));
    }
}

TEST_F(KeymixwTest, ConvertsLikeTheConsoleProgram) {
    const std::string chart = copyExample();
    const struct {
        bool keepSound;
        const char* volume;
        Fields consoleOptions;  // the same settings for keymix
    } cases[] = {
        {true, "50", {}},  // the window's start settings match the console's defaults
        {false, "80%", {"-r", "-v", "80"}},
        {true, " -20", {"-v", "-20"}},
        {true, "0", {"-v", "0"}},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        const std::string output = dir.file("gui" + std::to_string(run) + ".wav");
        type(INPUT_EDIT, windowsPath(chart));
        type(OUTPUT_EDIT, windowsPath(output));
        type(VOLUME_EDIT, c.volume);
        call({"setcheck", controls[KEEP_SOUND_CHECK], c.keepSound ? "1" : "0"});
        click(CONVERT_BUTTON);
        EXPECT_EQ("", openDialogs()) << "a success shows no box";
        EXPECT_EQ(FINISHED, status());
        EXPECT_EQ("200 0 200", progress()) << "the bar is full";
        EXPECT_TRUE(readText(output) == consoleWav(chart, c.consoleOptions))
            << "the song differs from the console program's";
        if (run++ == 0) shoot("keymixw-converted");
    }
}

TEST_F(KeymixwTest, ReportsAChartThatDoesNotParse) {
    const struct {
        const char* name;  // null: the input field stays empty
        const char* content;
        const char* text;
    } cases[] = {
        // No chart has been loaded yet in this process: line 0.
        {nullptr, "", "line 0 : ファイルが開けませんでした。"},
        {"broken.bms", "#TITLE x\n# y\n",
         "line 2 : ヘッダのキーや小節番号の指定に英数字以外が指定されました。"},
        {"bad_bar.bms", "#0011:01\n", "line 1 : チャンネル番号指定に英数字以外が使われました。"},
    };
    const std::string output = dir.file("never.wav");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string input = c.name ? windowsPath(dir.file(c.name)) : "";
        if (c.name) dir.write(c.name, c.content);
        type(INPUT_EDIT, input);
        type(OUTPUT_EDIT, windowsPath(output));
        click(CONVERT_BUTTON);
        Box box = waitBox();
        expectBox(box, "BMSファイル解析失敗", c.text, "1", "error");
        answer(box, IDOK);
        EXPECT_EQ("", openDialogs());
        EXPECT_EQ(input, text(INPUT_EDIT));
        EXPECT_EQ(START_STATUS, status());
        EXPECT_FALSE(gui_test::exists(output)) << "no output file is touched";
    }
}

TEST_F(KeymixwTest, AsksBeforeOverwritingAnExistingFile) {
    const std::string chart = copyExample();
    const std::string output = dir.file("existing.wav");
    writeText(output, "keep me");
    type(INPUT_EDIT, windowsPath(chart));
    type(OUTPUT_EDIT, windowsPath(output));
    const std::string question = windowsPath(output) + "\nファイルを上書きしますか？";

    click(CONVERT_BUTTON);
    Box box = waitBox();
    expectBox(box, "確認", question, "6,7", "question");
    answer(box, IDNO);
    EXPECT_EQ("", openDialogs());
    EXPECT_EQ("keep me", readText(output)) << "No leaves the file untouched";
    EXPECT_EQ(START_STATUS, status());

    click(CONVERT_BUTTON);
    box = waitBox();
    expectBox(box, "確認", question, "6,7", "question");
    answer(box, IDYES);
    EXPECT_EQ("", openDialogs());
    EXPECT_EQ(FINISHED, status());
    EXPECT_TRUE(readText(output) == consoleWav(chart, {})) << "Yes replaces it with the song";
}

TEST_F(KeymixwTest, ReportsAnOutputThatCannotBeWritten) {
    const std::string chart = copyExample();
    const std::string folder = dir.mkdir("a_folder.wav");
    type(INPUT_EDIT, windowsPath(chart));
    type(OUTPUT_EDIT, windowsPath(folder));

    click(CONVERT_BUTTON);
    Box question = waitBox();
    expectBox(question, "確認", windowsPath(folder) + "\nファイルを上書きしますか？", "6,7",
              "question");
    answer(question, IDYES);
    Box box = waitBox();
    expectBox(box, "ERROR", "出力ファイルに書き込めません", "1", "error");
    answer(box, IDOK);
    EXPECT_EQ("", openDialogs());
    EXPECT_TRUE(gui_test::exists(folder));
}

TEST_F(KeymixwTest, RefusesAVolumeWithoutDigits) {
    const std::string chart = copyExample();
    const std::string existing = dir.file("existing.wav");
    writeText(existing, "keep me");
    const struct {
        const char* volume;
        bool existingOutput;
    } cases[] = {{"", false}, {"abc", false}, {"-", false}, {"%50", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        const std::string output = c.existingOutput ? existing : dir.file("new.wav");
        type(INPUT_EDIT, windowsPath(chart));
        type(OUTPUT_EDIT, windowsPath(output));
        type(VOLUME_EDIT, c.volume);
        click(CONVERT_BUTTON);
        if (c.existingOutput) answer(waitBox(), IDYES);
        Box box = waitBox();
        expectBox(box, "ERROR", "音量を正しく指定して", "1", "error");
        answer(box, IDOK);
        EXPECT_EQ("", openDialogs());
        EXPECT_EQ(START_STATUS, status()) << "no conversion started";
        // The file that was there keeps its content; none is left behind.
        if (c.existingOutput) {
            EXPECT_EQ("keep me", readText(output));
        } else {
            EXPECT_FALSE(gui_test::exists(output));
        }
    }
}

TEST_F(KeymixwTest, AsksTwiceBeforeSkippingAnUnusedMissingSample) {
    const std::string chart = copyExample();
    // One more declared sample that no note uses, and whose file is missing.
    writeText(chart, readText(chart) + "\n#WAV0Z missing.wav\n");
    const std::string missing = windowsPath(dir.file("missing.wav"));
    const std::string firstQuestion =
        missing +
        "\nこのファイルが存在しませんでしたがBMS内で使っていないので正常に変換できます。\n"
        "変換しますか？";
    const std::string secondQuestion = "BMS的に正しくないんだよ？ 本当に変換するのぉ？";
    const std::string reference = consoleWav(chart, {"-i"});

    const struct {
        int firstAnswer;
        int secondAnswer;  // 0: the second question must not come
        bool converts;
    } cases[] = {{IDYES, IDYES, true}, {IDYES, IDNO, false}, {IDNO, 0, false}};
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(run);
        const std::string output = dir.file("gui" + std::to_string(run++) + ".wav");
        type(INPUT_EDIT, windowsPath(chart));
        type(OUTPUT_EDIT, windowsPath(output));
        click(CONVERT_BUTTON);
        Box box = waitBox();
        expectBox(box, "変換続行しますか？", firstQuestion, "6,7", "question");
        // Asked while loading 0Z, the ninth declared sample, after eight had
        // loaded: 8 * 100 / 9 percent, the loading half of the bar.
        EXPECT_EQ("88 0 200", progress());
        EXPECT_EQ(LOADING, status());
        answer(box, c.firstAnswer);
        if (c.secondAnswer) {
            box = waitBox();
            expectBox(box, "変換続行しますか？", secondQuestion, "6,7", "question");
            answer(box, c.secondAnswer);
        }
        box = waitBox();
        if (c.converts) {
            expectBox(box, "変換します", "仕方ない、変換してさしあげますよ", "1", "information");
            answer(box, IDOK);
            EXPECT_EQ("", openDialogs());
            EXPECT_EQ(FINISHED, status());
            EXPECT_TRUE(readText(output) == reference) << "differs from keymix -i";
        } else {
            expectBox(box, "ERROR", "WAVへの変換失敗 FILE : " + missing, "1", "error");
            answer(box, IDOK);
            EXPECT_EQ("", openDialogs());
            EXPECT_FALSE(gui_test::exists(output)) << "no file is left behind";
            // A failure leaves the bar and the status line as loading left them.
            EXPECT_EQ("88 0 200", progress());
            EXPECT_EQ(LOADING, status());
        }
    }
}

TEST_F(KeymixwTest, NamesTheSampleThatFailedTheConversion) {
    const std::string chart = dir.file("uses_missing.bms");
    writeText(chart, "#WAV01 gone.wav\n#00111:01\n");
    const std::string output = dir.file("song.wav");
    type(INPUT_EDIT, windowsPath(chart));
    type(OUTPUT_EDIT, windowsPath(output));
    click(CONVERT_BUTTON);
    // A used sample fails the conversion at once, without a question.
    Box box = waitBox();
    expectBox(box, "ERROR", "WAVへの変換失敗 FILE : " + windowsPath(dir.file("gone.wav")), "1",
              "error");
    answer(box, IDOK);
    EXPECT_EQ("", openDialogs());
    // The status line keeps the last progress text: loading had begun.
    EXPECT_EQ(LOADING, status());
    EXPECT_FALSE(gui_test::exists(output)) << "no file is left behind";
}

TEST_F(KeymixwTest, ExtendedReadingConvertsAnOggChart) {
    // The chart names a WAV file; the folder holds an Ogg Vorbis file of that stem, and a
    // damaged one that plays up to and past its damage.
    const std::string chart =
        dir.write("ogg.bms", "#WAV01 tone.wav\n#WAV02 cut.ogg\n#00111:0101\n#00112:02\n");
    ASSERT_TRUE(gui_test::copyFile(setting("KEYMIX_TEST_DATA") + "/sine_left_44100.ogg",
                                   dir.file("tone.ogg")));
    ASSERT_TRUE(gui_test::copyFile(
        setting("KEYMIX_DECODE_DATA") + "/vorbis_page_after_end_and_missing_page.ogg",
        dir.file("cut.ogg")));
    const std::string output = dir.file("song.wav");
    const std::string failed = CONVERT_FAILED + windowsPath(dir.file("tone.wav"));
    type(INPUT_EDIT, windowsPath(chart));
    type(OUTPUT_EDIT, windowsPath(output));

    // Unticked, the chart fails as it always did.
    click(CONVERT_BUTTON);
    Box box = waitBox();
    expectBox(box, "ERROR", failed, "1", "error");
    answer(box, IDOK);
    EXPECT_FALSE(gui_test::exists(output));

    // A build without an Ogg Vorbis decoder fails with -x too, with the hint.
    const bool decodes =
        gui_test::runProgram({"wine", setting("KEYMIX_EXE"), "-x", "-o",
                              windowsPath(dir.file("probe.wav")), windowsPath(chart)},
                             dir.path(), "") == 0;
    tick(EXTENDED_CHECK, true);
    click(CONVERT_BUTTON);
    if (!decodes) {
        box = waitBox();
        expectBox(box, "ERROR", failed + MISSING_HINT, "1", "error");
        answer(box, IDOK);
        GTEST_SKIP() << "keymix.exe of this build decodes no Ogg Vorbis";
    }
    EXPECT_EQ("", openDialogs()) << "a success shows no box";
    EXPECT_EQ(FINISHED, status());
    EXPECT_TRUE(readText(output) == consoleWav(chart, {"-x"})) << "differs from keymix -x";
    shoot("keymixw-ogg");
}

TEST_F(KeymixwTest, SilencesAMissingKeySoundWhenTicked) {
    const std::string chart =
        dir.write("gap.bms", "#WAV01 kick.wav\n#WAV02 gone.wav\n#00111:0102\n#00112:02\n");
    ASSERT_TRUE(gui_test::copyFile(setting("KEYMIX_EXAMPLES") + "/kick.wav", dir.file("kick.wav")));
    const std::string gone = windowsPath(dir.file("gone.wav"));
    const struct {
        bool extended, silent;
        Fields consoleOptions;  // the same settings for keymix, when it converts
    } cases[] = {{true, false, {}}, {false, true, {"-m"}}, {true, true, {"-x", "-m"}}};
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(run);
        const std::string output = dir.file("gui" + std::to_string(run++) + ".wav");
        tick(EXTENDED_CHECK, c.extended);
        tick(SILENT_CHECK, c.silent);
        type(INPUT_EDIT, windowsPath(chart));
        type(OUTPUT_EDIT, windowsPath(output));
        click(CONVERT_BUTTON);
        Box box = waitBox();
        if (!c.silent) {
            expectBox(box, "ERROR", CONVERT_FAILED + gone + MISSING_HINT, "1", "error");
            answer(box, IDOK);
            EXPECT_FALSE(gui_test::exists(output)) << "no file is left behind";
            continue;
        }
        // The song is written before the box names what it left out.
        expectBox(box, "無音にしたWAV", "WAVが読めないので無音にしました " + gone + " (ノーツ数 2)",
                  "1", "information");
        EXPECT_EQ(FINISHED, status());
        answer(box, IDOK);
        EXPECT_EQ("", openDialogs());
        EXPECT_TRUE(readText(output) == consoleWav(chart, c.consoleOptions))
            << "differs from the console program's";
        if (c.extended) shoot("keymixw-silenced");
    }
}

// The output's name chooses the format, and the last box normalises, as keymix -n does.
TEST_F(KeymixwTest, WritesTheNamedFormatAndNormalisesWhenTicked) {
    const std::string chart = copyExample();
    const struct {
        bool normalise;
        const char* extension;
        Fields consoleOptions;
    } cases[] = {{false, ".flac", {}}, {true, ".wav", {"-n"}}, {true, ".flac", {"-n"}}};
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(run);
        const std::string output = dir.file("gui" + std::to_string(run++) + c.extension);
        tick(NORMALISE_CHECK, c.normalise);
        type(INPUT_EDIT, windowsPath(chart));
        type(OUTPUT_EDIT, windowsPath(output));
        click(CONVERT_BUTTON);
        settle();
        EXPECT_EQ("", openDialogs());
        EXPECT_EQ(FINISHED, status());
        EXPECT_TRUE(readText(output) == consoleWav(chart, c.consoleOptions, c.extension))
            << "differs from the console program's";
    }
}

// A dropped folder renders every chart in it at once, as keymix -a does: the same songs and
// the same report; the failed charts are named in a box at the end.
TEST_F(KeymixwTest, ConvertsADroppedFolderLikeKeymixA) {
    dir.mkdir("lib");
    copyExample("lib/a");
    dir.mkdir("lib/b");
    dir.write("lib/b/broken.bms", "#TITLE x\n# y\n");
    dir.write("lib/b/gone.bms", "#WAV01 gone.wav\n#00111:01\n");
    dir.write("lib/b/beat.bms", "#BPM 150\n#WAV01 kick.wav\n#00111:01010101\n");
    ASSERT_TRUE(gui_test::copyFile(dir.file("lib/a/kick.wav"), dir.file("lib/b/kick.wav")));
    const std::string lib = windowsPath(dir.file("lib"));
    type(VOLUME_EDIT, "80");
    tick(KEEP_SOUND_CHECK, false);

    drop(PROGRESS_BAR, {dir.file("lib")});
    Box box = waitBox();
    expectBox(box, "一括変換終了",
              "書き込み 2  失敗 2  スキップ 0\n\n失敗した譜面\n" + lib + "/b/broken.bms\n" + lib +
                  "/b/gone.bms\n\n結果一覧を書き込みました " + lib + "/keymix-report.tsv",
              "1", "warning");
    EXPECT_EQ("終了 譜面 4 / 4 完了  失敗 2", status());
    EXPECT_EQ("200 0 200", progress());
    shootWithBox(box, "keymixw-library-done");
    answer(box, IDOK);
    EXPECT_EQ(lib, text(INPUT_EDIT));
    EXPECT_EQ("", text(OUTPUT_EDIT)) << "the outputs go next to the charts";

    const char* outputs[] = {"lib/a/demo.wav", "lib/b/beat.wav"};
    std::vector<std::string> songs;
    for (const char* output : outputs) songs.push_back(readText(dir.file(output)));
    const std::string report = reportWithoutTimes(dir.file("lib/keymix-report.tsv"));
    std::remove(dir.file("lib/keymix-report.tsv").c_str());
    EXPECT_FALSE(runConsole({"-a", "-f", "-v", "80", "-r", lib}))
        << "keymix -a fails on the same charts";
    for (size_t i = 0; i < songs.size(); ++i) {
        SCOPED_TRACE(outputs[i]);
        EXPECT_GT(songs[i].size(), 44u);
        EXPECT_TRUE(songs[i] == readText(dir.file(outputs[i]))) << "differs from keymix -a";
    }
    EXPECT_EQ(reportWithoutTimes(dir.file("lib/keymix-report.tsv")), report)
        << readText(dir.file("console.log"));

    // Dropped again, every song is up to date.
    drop(INPUT_EDIT, {dir.file("lib")});
    box = waitBox();
    EXPECT_EQ("書き込み 0  失敗 2  スキップ 2", box.text.substr(0, box.text.find('\n')));
    answer(box, IDOK);
}

// The check box makes one song-select preview per folder instead, as keymix -a -w auto,15
// does; here the folder is chosen with the folder button, which opens at the input's folder.
TEST_F(KeymixwTest, MakesPreviewsOfAChosenFolderWhenTicked) {
    dir.mkdir("lib");
    copyExample("lib/song");
    copyExample("lib/own");
    dir.write("lib/own/preview.ogg", "the author's clip");
    const std::string lib = windowsPath(dir.file("lib"));
    tick(PREVIEWS_CHECK, true);
    type(INPUT_EDIT, lib);

    click(FOLDER_BUTTON);
    chooseInDialog(waitBox(), lib);
    Box box = waitBox();
    expectBox(box, "一括変換終了",
              "フォルダ 書き込み 1  失敗 0  スキップ 1\n\n結果一覧を書き込みました " + lib +
                  "/keymix-report.tsv",
              "1", "information");
    answer(box, IDOK);
    EXPECT_EQ("終了 フォルダ 2 / 2 完了  失敗 0", status());
    EXPECT_EQ("OggS", readText(dir.file("lib/song/preview_keymix.ogg")).substr(0, 4));
    EXPECT_FALSE(gui_test::exists(dir.file("lib/own/preview_keymix.ogg")));
    EXPECT_FALSE(gui_test::exists(dir.file("lib/song/demo.wav"))) << "no song, only the preview";

    // Ogg files differ in their stream serial numbers: the report tells what keymix made.
    const std::string report = reportWithoutTimes(dir.file("lib/keymix-report.tsv"));
    std::remove(dir.file("lib/keymix-report.tsv").c_str());
    EXPECT_TRUE(runConsole({"-a", "-f", "-w", "auto,15", lib}))
        << readText(dir.file("console.log"));
    EXPECT_EQ(reportWithoutTimes(dir.file("lib/keymix-report.tsv")), report);
}

// An archive renders as a folder does where this build reads archives, else a box says so.
TEST_F(KeymixwTest, ConvertsADroppedArchiveWhereArchivesAreRead) {
    copyExample("pack");
    if (gui_test::runProgram({"zip", "-q", "-r", "../pack.zip", "."}, dir.file("pack"), "") != 0)
        GTEST_SKIP() << "no zip program to pack the song package with";
    const std::string pack = windowsPath(dir.file("pack.zip"));
    const bool archives = runConsole({"-a", pack}) && gui_test::exists(dir.file("demo.wav"));
    const std::string song = readText(dir.file("demo.wav"));
    std::remove(dir.file("demo.wav").c_str());

    drop(INPUT_EDIT, {dir.file("pack.zip")});
    Box box = waitBox();
    if (!archives) {
        expectBox(box, "ERROR", "このKEYMIXはアーカイブを読めません " + pack, "1", "error");
        answer(box, IDOK);
        GTEST_SKIP() << "keymix.exe of this build reads no archives";
    }
    EXPECT_EQ("書き込み 1  失敗 0  スキップ 0", box.text.substr(0, box.text.find('\n')));
    answer(box, IDOK);
    EXPECT_TRUE(readText(dir.file("demo.wav")) == song) << "differs from keymix -a";
}

// Closing the window during a run starts no further chart; the window goes once the charts
// being rendered are written, so that every song on disk is complete.
TEST_F(KeymixwTest, ClosingDuringAFolderRunStopsIt) {
    dir.mkdir("lib");
    ASSERT_TRUE(
        gui_test::copyFile(setting("KEYMIX_EXAMPLES") + "/kick.wav", dir.file("lib/kick.wav")));
    // 24 songs of 160 seconds each.
    constexpr int CHARTS = 24;
    for (int i = 0; i < CHARTS; ++i)
        dir.write("lib/long" + std::to_string(10 + i) + ".bms",
                  "#BPM 60\n#WAV01 kick.wav\n#00111:01\n#03911:01\n");
    drop(INPUT_EDIT, {dir.file("lib")});
    // Until the first songs are written.
    std::string shown;
    for (int wait = 0; wait < 3000; ++wait) {
        shown = status();
        if (shown.rfind("譜面 ", 0) == 0 && shown.rfind("譜面 0 /", 0) != 0) break;
        usleep(20000);
    }
    const size_t slash = shown.find(" / ");
    ASSERT_NE(std::string::npos, slash) << shown;
    EXPECT_EQ(" / 24 完了  失敗 0", shown.substr(slash));
    shoot("keymixw-library-running");
    call({"close", mainWindow});
    Reply exited = call({"wait_exit", "60000"});
    ASSERT_TRUE(exited.ok) << exited.error;
    EXPECT_EQ("0", exited.at(0));

    int written = 0;
    std::string first;
    for (int i = 0; i < CHARTS; ++i) {
        const std::string song = readText(dir.file("lib/long" + std::to_string(10 + i) + ".wav"));
        if (song.empty()) continue;
        ++written;
        if (first.empty()) first = song;
        EXPECT_TRUE(song == first) << "every song written is complete";
    }
    EXPECT_GT(written, 0);
    EXPECT_LT(written, CHARTS) << "the run went on after the window was closed";
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("lib"))) {
        static_cast<void>(entry);
        ++entries;
    }
    EXPECT_EQ(CHARTS + written + 2, entries)
        << "the charts, the songs, the key sound and the report: nothing partial is left";
}

}  // namespace
