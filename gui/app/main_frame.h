// The main window of keymixw: input and output paths, volume, four options, a
// progress bar and the Convert button; a folder or an archive converts all its charts.
#ifndef GUI_APP_MAIN_FRAME_H_
#define GUI_APP_MAIN_FRAME_H_

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "convert/render.h"
#include "gui/app/library_job.h"
#include "gui/framework/app.h"

class FileEdit;
class LuButton;
class LuCheckBox;
class LuEdit;
class LuProgress;
class LuStatic;

constexpr int ID_BROWSE_INPUT = 1001;
constexpr int ID_BROWSE_OUTPUT = 1002;
constexpr int ID_CONVERT = 1003;
constexpr int ID_CONVERT_FOLDER = 1004;

// The fixed-size top-level window of class "KEYMIX". It accepts dropped files and
// runs the conversion of one chart synchronously inside the Convert button's handler;
// the charts of a folder or an archive render on a worker thread (LibraryJob) while the
// window stays responsive.
class MainFrame : public LuApp, private RenderObserver {
public:
    MainFrame();

    DWORD exStyle() override { return WS_EX_STATICEDGE | WS_EX_ACCEPTFILES; }
    DWORD style() override { return WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; }
    const char* className() override { return "KEYMIX"; }
    // Builds the seventeen controls; always true.
    bool onCreate() override;
    // Takes WM_DROPFILES, WM_CLOSE during a library run and the run's messages; everything
    // else goes to LuApp's dispatcher.
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT onCommand(int id, int code, HWND control) override;

private:
    // The conversion's moments: the overwrite question once the chart parsed (false after
    // No), the volume's check once the output proved writable, the bar and status line
    // while it runs, and the question whether to go on without the unreadable, unused
    // sample at `path` (true only after two Yes answers).
    bool chartParsed(const BmsConverter& chart, bool outputExists) override;
    bool outputReady() override;
    void progress(int value) override;
    bool continuePastUnusedSample(const char* path) override;

    LRESULT onDropFiles(HDROP drop);
    // Open and save dialogs; false when the user cancels. The chosen path is
    // left in `textBuffer`.
    bool chooseInputFile();
    bool chooseOutputFile();
    bool chooseFile(bool forSaving);
    // The folder dialog, opened at the folder of the input field; false when cancelled. The
    // chosen path is left in `textBuffer`.
    bool chooseFolder();
    // Adds the extension of the save dialog's chosen format entry to the name in `textBuffer`
    // when it names another format.
    void addChosenExtension(DWORD filterIndex);
    void runConversion();
    // Whether the path names a folder, or an archive file, whose charts a library run renders.
    static bool isLibrary(const std::string& path);
    // Puts the folder or archive into the input field, empties the output field (outputs go
    // next to the charts) and renders it.
    void convertLibrary(const std::string& source);
    // Renders every chart of the folder or archive at `source` on the worker thread, the
    // outputs under the folder of the output field, or next to the charts when it is empty.
    void startLibraryRun(const std::string& source);
    void showLibraryProgress();
    // Joins the worker, shows the end in the status line and a box, or closes the window
    // when that was asked for during the run.
    void finishLibraryRun();
    // Makes the buttons that start a conversion usable, or not while a library run goes on.
    void enableStarts(bool enabled);
    // The whole text of a field.
    std::string readField(LuWindow* field);
    int showMessage(const std::string& text, const char* caption, UINT flags);
    // The box text for a failed conversion: the file that failed, with a hint at
    // silencing it when extended reading was on and that file stopped the run.
    std::string failureText(const RenderResult& result, bool extended);
    // Names the key sounds that were left silent, if any, in a box.
    void reportSilenced(const std::vector<SilencedSound>& silenced);

    // The controls, in their order on the window. Never deleted: they live as
    // long as the window, which lives until the process ends.
    LuStatic* inputLabel;
    FileEdit* inputEdit;
    LuButton* inputBrowseButton;
    LuStatic* outputLabel;
    FileEdit* outputEdit;
    LuButton* outputBrowseButton;
    LuStatic* volumeLabel;
    LuEdit* volumeEdit;
    LuCheckBox* keepSoundCheck;
    LuProgress* progressBar;
    LuButton* convertButton;
    LuStatic* statusLabel;
    // Made last, so the controls above keep their places in the child order.
    LuCheckBox* extendedSamplesCheck;
    LuCheckBox* silentMissingCheck;
    LuCheckBox* normaliseCheck;
    LuButton* folderButton;
    LuCheckBox* previewsCheck;

    // The output path of the running conversion, whether the volume field read as a number,
    // and whether the conversion got past loading its key sounds.
    std::string outputPath;
    bool volumeRead;
    bool samplesLoaded;
    // Whether a chart's conversion is under way, waiting in one of its boxes.
    bool converting;
    // The library run, whether it makes previews, and whether the window closes at its end.
    LibraryJob libraryJob;
    bool libraryPreviews;
    bool closeAfterRun;
    // Receives dialog results and dropped file names (at most MAX_PATH - 1
    // characters each).
    char textBuffer[MAX_PATH];
};

#endif  // GUI_APP_MAIN_FRAME_H_
