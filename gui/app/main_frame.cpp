#include "gui/app/main_frame.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <shobjidl.h>
#include <string>
#include <vector>

#include "convert/song_output.h"
#include "gui/app/file_edit.h"
#include "gui/app/texts.h"
#include "gui/framework/controls.h"
#include "library/archive_charts.h"
#include "library/chart_finder.h"
#include "library/paths.h"
#include "library/report.h"
#include "song/sound_file_writer.h"
#include "text/format.h"
#include "text/number.h"

namespace {

constexpr int PROGRESS_MAXIMUM = 200;

// The window of the previews that the check box makes: `keymix -a -w auto,15`, the loudest
// 15 seconds from the bar line before them.
constexpr double PREVIEW_SECONDS = 15.0;

// The program's text in the UTF-16 of the wide functions.
std::wstring wideText(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? size : 1, L'\0');
    if (size > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], size);
    wide.resize(wide.size() - 1);
    return wide;
}

}  // namespace

MainFrame::MainFrame()
    : inputLabel(nullptr),
      inputEdit(nullptr),
      inputBrowseButton(nullptr),
      outputLabel(nullptr),
      outputEdit(nullptr),
      outputBrowseButton(nullptr),
      volumeLabel(nullptr),
      volumeEdit(nullptr),
      keepSoundCheck(nullptr),
      progressBar(nullptr),
      convertButton(nullptr),
      statusLabel(nullptr),
      extendedSamplesCheck(nullptr),
      silentMissingCheck(nullptr),
      normaliseCheck(nullptr),
      folderButton(nullptr),
      previewsCheck(nullptr),
      volumeRead(false),
      samplesLoaded(false),
      converting(false),
      libraryPreviews(false),
      closeAfterRun(false),
      textBuffer() {}

bool MainFrame::onCreate() {
    // One fixed-pitch Shift-JIS font of 12 pixels for every control; it is
    // never deleted, as the controls use it until the process ends.
    HFONT font = CreateFontA(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, 0,
                             FIXED_PITCH | FF_MODERN, nullptr);

    inputLabel = new LuStatic;
    inputEdit = new FileEdit;
    inputBrowseButton = new LuButton;
    outputLabel = new LuStatic;
    outputEdit = new FileEdit;
    outputBrowseButton = new LuButton;
    inputLabel->create(this, 0, instance, nullptr);
    inputEdit->create(this, 0, instance, nullptr);
    inputBrowseButton->create(this, ID_BROWSE_INPUT, instance, nullptr);
    outputLabel->create(this, 0, instance, nullptr);
    outputEdit->create(this, 0, instance, nullptr);
    outputBrowseButton->create(this, ID_BROWSE_OUTPUT, instance, nullptr);

    volumeLabel = new LuStatic;
    volumeLabel->create(this, 0, instance, nullptr);
    volumeEdit = new LuEdit;
    volumeEdit->create(this, 0, instance, nullptr);

    keepSoundCheck = new LuCheckBox;
    keepSoundCheck->create(this, 0, instance, nullptr);
    keepSoundCheck->setChecked(true);

    progressBar = new LuProgress;
    progressBar->create(this, 0, instance, nullptr);
    progressBar->setRange(PROGRESS_MAXIMUM);
    progressBar->setStep(1);

    convertButton = new LuButton;
    convertButton->create(this, ID_CONVERT, instance, nullptr);
    statusLabel = new LuStatic;
    statusLabel->create(this, 0, instance, nullptr);

    // All start unchecked: a conversion is then exactly the plain one.
    extendedSamplesCheck = new LuCheckBox;
    extendedSamplesCheck->create(this, 0, instance, nullptr);
    silentMissingCheck = new LuCheckBox;
    silentMissingCheck->create(this, 0, instance, nullptr);
    normaliseCheck = new LuCheckBox;
    normaliseCheck->create(this, 0, instance, nullptr);
    folderButton = new LuButton;
    folderButton->create(this, ID_CONVERT_FOLDER, instance, nullptr);
    previewsCheck = new LuCheckBox;
    previewsCheck->create(this, 0, instance, nullptr);

    const struct {
        LuWindow* control;
        int x, y, width, height;
        const char* text;  // null: the control keeps its empty text
    } layout[] = {
        {inputLabel, 5, 14, 25, 20, INPUT_LABEL},
        {inputEdit, 40, 10, 350, 20, nullptr},
        {inputBrowseButton, 400, 10, 50, 20, BROWSE_LABEL},
        {outputLabel, 5, 44, 25, 20, OUTPUT_LABEL},
        {outputEdit, 40, 40, 350, 20, nullptr},
        {outputBrowseButton, 400, 40, 50, 20, BROWSE_LABEL},
        {volumeLabel, 5, 74, 55, 20, VOLUME_LABEL},
        {volumeEdit, 70, 70, 50, 20, DEFAULT_VOLUME},
        {keepSoundCheck, 150, 70, 210, 20, KEEP_SOUND_LABEL},
        {progressBar, 5, 100, 384, 30, nullptr},
        {convertButton, 400, 100, 50, 30, CONVERT_LABEL},
        {statusLabel, 5, 135, 460, 20, START_STATUS},
        // Under the status line, in the column of the first check box.
        {extendedSamplesCheck, 150, 160, 210, 20, EXTENDED_SAMPLES_LABEL},
        {silentMissingCheck, 150, 180, 210, 20, SILENT_MISSING_LABEL},
        {normaliseCheck, 150, 200, 210, 20, NORMALISE_LABEL},
        // Left of them, what converts a whole folder.
        {folderButton, 5, 160, 135, 20, FOLDER_LABEL},
        {previewsCheck, 5, 182, 140, 20, PREVIEWS_LABEL},
    };
    for (const auto& item : layout) item.control->move(item.x, item.y, item.width, item.height);
    for (const auto& item : layout) {
        if (item.text) item.control->setText(item.text);
    }
    for (const auto& item : layout) item.control->show();
    for (const auto& item : layout) item.control->setFont(font);
    return true;
}

LRESULT MainFrame::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DROPFILES: {
            LRESULT result = onDropFiles(reinterpret_cast<HDROP>(wParam));
            if (result != NOT_HANDLED) return result;
            break;
        }
        case WM_CLOSE:
            // The window goes once the charts being rendered are done, as their outputs only
            // ever appear complete.
            if (!libraryJob.isRunning()) break;
            libraryJob.stop();
            closeAfterRun = true;
            statusLabel->setText(STOPPING_STATUS);
            return 0;
        case WM_LIBRARY_PROGRESS:
            showLibraryProgress();
            return 0;
        case WM_LIBRARY_DONE:
            finishLibraryRun();
            return 0;
    }
    return LuApp::windowProc(message, wParam, lParam);
}

LRESULT MainFrame::onCommand(int id, int, HWND) {
    switch (id) {
        case ID_BROWSE_INPUT:
            if (chooseInputFile()) {
                inputEdit->setText(textBuffer);
                outputEdit->setText(proposeOutputPath(textBuffer).c_str());
            }
            return 0;
        case ID_BROWSE_OUTPUT:
            if (chooseOutputFile()) outputEdit->setText(textBuffer);
            return 0;
        case ID_CONVERT: {
            const std::string input = readField(inputEdit);
            if (isLibrary(input)) {
                startLibraryRun(input);
            } else {
                converting = true;
                runConversion();
                converting = false;
            }
            return 0;
        }
        case ID_CONVERT_FOLDER:
            if (chooseFolder()) convertLibrary(textBuffer);
            return 0;
    }
    return NOT_HANDLED;
}

LRESULT MainFrame::onDropFiles(HDROP drop) {
    // A window dragged onto from another program comes to the front.
    bringToFront();
    // Only the first item counts: a folder or an archive is converted at once, whatever
    // else it names is taken as the chart. Nothing is taken while a library run goes on, and
    // no folder while a chart's conversion waits in one of its boxes.
    DragQueryFileA(drop, 0, textBuffer, MAX_PATH);
    DragFinish(drop);
    if (libraryJob.isRunning()) return 0;
    if (isLibrary(textBuffer)) {
        if (!converting) convertLibrary(textBuffer);
        return 0;
    }
    inputEdit->setText(textBuffer);
    outputEdit->setText(proposeOutputPath(textBuffer).c_str());
    return 0;
}

bool MainFrame::chooseInputFile() {
    return chooseFile(false);
}

bool MainFrame::chooseOutputFile() {
    return chooseFile(true);
}

bool MainFrame::chooseFile(bool forSaving) {
    textBuffer[0] = '\0';
    OPENFILENAMEA dialog = {};
    // The full structure, with the reserved fields and FlagsEx at its end.
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = handle;
    dialog.lpstrFilter = forSaving ? OUTPUT_FILTER : INPUT_FILTER;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = textBuffer;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = forSaving ? OUTPUT_DIALOG_TITLE : INPUT_DIALOG_TITLE;
    dialog.FlagsEx = OFN_EX_NOPLACESBAR;
    if (forSaving) {
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        if (!GetSaveFileNameA(&dialog)) return false;
        addChosenExtension(dialog.nFilterIndex);
        return true;
    }
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    return GetOpenFileNameA(&dialog) != 0;
}

bool MainFrame::chooseFolder() {
    std::string start = readField(inputEdit);
    if (!PathIsDirectoryA(start.c_str())) start = folderOf(start);
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog))))
        return false;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
    dialog->SetTitle(wideText(FOLDER_DIALOG_TITLE).c_str());
    IShellItem* folder = nullptr;
    if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(wideText(start).c_str(), nullptr,
                                                                IID_PPV_ARGS(&folder)))) {
        dialog->SetFolder(folder);
        folder->Release();
    }
    bool chosen = false;
    IShellItem* result = nullptr;
    if (SUCCEEDED(dialog->Show(handle)) && SUCCEEDED(dialog->GetResult(&result))) {
        wchar_t* path = nullptr;
        if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            // A name that the program's code page cannot spell could not be opened.
            BOOL unspellable = FALSE;
            chosen = WideCharToMultiByte(CP_ACP, 0, path, -1, textBuffer, MAX_PATH, nullptr,
                                         &unspellable) > 0 &&
                     !unspellable;
            CoTaskMemFree(path);
        }
        result->Release();
    }
    dialog->Release();
    return chosen;
}

void MainFrame::addChosenExtension(DWORD filterIndex) {
    const DWORD count = sizeof OUTPUT_EXTENSIONS / sizeof OUTPUT_EXTENSIONS[0];
    if (filterIndex < 2 || filterIndex > count + 1) return;
    const char* extension = OUTPUT_EXTENSIONS[filterIndex - 2];
    if (LuSoundFormatOf(textBuffer) == LuSoundFormatOf(extension)) return;
    if (std::strlen(textBuffer) + std::strlen(extension) < MAX_PATH)
        std::strcat(textBuffer, extension);
}

std::string MainFrame::readField(LuWindow* field) {
    // Read in full: a path cut at the buffer's end could name another file.
    std::vector<char> text(GetWindowTextLengthA(field->getHandle()) + 1);
    int length = field->getText(text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), length);
}

int MainFrame::showMessage(const std::string& text, const char* caption, UINT flags) {
    return MessageBoxA(handle, text.c_str(), caption, flags);
}

void MainFrame::runConversion() {
    const std::string chartPath = readField(inputEdit);
    // The path that the overwrite question names is the one written, even if the field
    // changes meanwhile (it can only through another program): a new path would skip the
    // question. Its name chooses the format.
    outputPath = readField(outputEdit);
    RenderOptions options;
    volumeRead = readDecimalInt(readField(volumeEdit).c_str(), &options.volume);
    // A checked box keeps the previous sound of a retriggered sample playing.
    options.cutOnRetrigger = !keepSoundCheck->isChecked();
    const bool extended = extendedSamplesCheck->isChecked();
    options.extendedSamples = extended;
    options.missingSamplesSilent = silentMissingCheck->isChecked();
    options.finish.normalise = normaliseCheck->isChecked();
    samplesLoaded = false;
    const RenderResult result = renderChart(chartPath, outputPath, options, *this);
    switch (result.status) {
        case RenderStatus::WRITTEN:
            statusLabel->setText(FINISHED_STATUS);
            reportSilenced(result.silenced);
            return;
        case RenderStatus::STOPPED:
            // After No to the overwrite question nothing is said.
            if (!volumeRead) showMessage(BAD_VOLUME, ERROR_CAPTION, MB_ICONERROR);
            return;
        case RenderStatus::PARSE_FAILED:
            showMessage(result.parseError, PARSE_FAILED_CAPTION, MB_ICONERROR);
            return;
        case RenderStatus::OUTPUT_UNWRITABLE:
            showMessage(CANNOT_WRITE, ERROR_CAPTION, MB_ICONERROR);
            return;
        case RenderStatus::WRITE_FAILED:
            showMessage(WRITE_FAILED, ERROR_CAPTION, MB_ICONERROR);
            return;
        default:
            showMessage(failureText(result, extended), ERROR_CAPTION, MB_ICONERROR);
            return;
    }
}

bool MainFrame::chartParsed(const BmsConverter& /*chart*/, bool outputExists) {
    return !outputExists || showMessage(format(OVERWRITE_QUESTION, outputPath.c_str()),
                                        CONFIRM_CAPTION, MB_ICONQUESTION | MB_YESNO) != IDNO;
}

bool MainFrame::outputReady() {
    return volumeRead;
}

std::string MainFrame::failureText(const RenderResult& result, bool extended) {
    std::string text = format(CONVERT_FAILED, result.failedSoundPath.c_str());
    // Loading stops only at a key sound that cannot be read, and that file is the
    // failed one; a later failure may still name an earlier, skipped file.
    if (extended && !samplesLoaded && !result.failedSoundPath.empty()) text += MISSING_SAMPLE_HINT;
    return text;
}

void MainFrame::reportSilenced(const std::vector<SilencedSound>& silenced) {
    if (silenced.empty()) return;
    std::string text;
    const int count = static_cast<int>(silenced.size());
    for (int i = 0; i < count && i < SILENCED_SHOWN; ++i) {
        if (i > 0) text += "\n";
        text += format(SILENCED_LINE, silenced[i].path.c_str(), silenced[i].notes);
    }
    if (count > SILENCED_SHOWN) text += "\n" + format(SILENCED_MORE, count - SILENCED_SHOWN);
    showMessage(text, SILENCED_CAPTION, MB_ICONINFORMATION);
}

void MainFrame::progress(int value) {
    progressBar->setPos(value);
    if (value >= 100) samplesLoaded = true;
    if (value == -1) statusLabel->setText(PREPARING_STATUS);
    if (value == 0) statusLabel->setText(LOADING_STATUS);
    if (value == 100) statusLabel->setText(MIXING_STATUS);
}

bool MainFrame::continuePastUnusedSample(const char* path) {
    if (showMessage(format(CONTINUE_QUESTION, path), CONTINUE_CAPTION,
                    MB_ICONQUESTION | MB_YESNO) != IDYES)
        return false;
    if (showMessage(CONTINUE_INSIST, CONTINUE_CAPTION, MB_ICONQUESTION | MB_YESNO) != IDYES)
        return false;
    showMessage(CONTINUE_GRANTED, CONTINUE_GRANTED_CAPTION, MB_ICONINFORMATION);
    return true;
}

bool MainFrame::isLibrary(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) || isArchiveName(path);
}

void MainFrame::convertLibrary(const std::string& source) {
    inputEdit->setText(source.c_str());
    outputEdit->setText("");
    startLibraryRun(source);
}

void MainFrame::startLibraryRun(const std::string& source) {
    // A drop can come while a box of a chart's conversion waits for an answer.
    if (libraryJob.isRunning() || converting) return;
    if (!PathIsDirectoryA(source.c_str()) && !archivesSupported()) {
        showMessage(format(NO_ARCHIVES, source.c_str()), ERROR_CAPTION, MB_ICONERROR);
        return;
    }
    LibraryOptions options;
    RenderOptions& render = options.render;
    if (!readDecimalInt(readField(volumeEdit).c_str(), &render.volume)) {
        showMessage(BAD_VOLUME, ERROR_CAPTION, MB_ICONERROR);
        return;
    }
    render.cutOnRetrigger = !keepSoundCheck->isChecked();
    render.extendedSamples = extendedSamplesCheck->isChecked();
    render.missingSamplesSilent = silentMissingCheck->isChecked();
    render.finish.normalise = normaliseCheck->isChecked();
    libraryPreviews = previewsCheck->isChecked();
    if (libraryPreviews) {
        render.finish.preview = true;
        render.finish.previewForm = PreviewStartForm::LOUDEST;
        render.finish.previewLength = PREVIEW_SECONDS;
    }
    const std::string outputFolder = readField(outputEdit);
    // The report of an archive goes next to it: a window has no current folder of its own.
    const std::string reportPath = libraryReportPath(
        PathIsDirectoryA(source.c_str()) ? source : folderOf(source), outputFolder);
    progressBar->setPos(0);
    statusLabel->setText(LIBRARY_PREPARING_STATUS);
    enableStarts(false);
    closeAfterRun = false;
    libraryJob.start(handle, source, outputFolder, reportPath, options);
}

void MainFrame::showLibraryProgress() {
    const LibraryProgress progress = libraryJob.latest();
    if (closeAfterRun) return;
    const int total = progress.total;
    progressBar->setPos(
        total > 0 ? static_cast<int>(static_cast<int64_t>(progress.done) * PROGRESS_MAXIMUM / total)
                  : PROGRESS_MAXIMUM);
    statusLabel->setText(format(libraryPreviews ? PREVIEWS_STATUS : LIBRARY_STATUS, progress.done,
                                total, progress.failed)
                             .c_str());
}

void MainFrame::finishLibraryRun() {
    libraryJob.finish();
    enableStarts(true);
    if (closeAfterRun) {
        DestroyWindow(handle);
        return;
    }
    const std::string source = readField(inputEdit);
    if (!libraryJob.sourceRead()) {
        statusLabel->setText(START_STATUS);
        showMessage(format(FOLDER_UNREADABLE, source.c_str()), ERROR_CAPTION, MB_ICONERROR);
        return;
    }
    showLibraryProgress();
    const LibraryProgress progress = libraryJob.latest();
    statusLabel->setText(
        format(libraryPreviews ? PREVIEWS_FINISHED_STATUS : LIBRARY_FINISHED_STATUS, progress.done,
               progress.total, progress.failed)
            .c_str());
    const LibrarySummary& summary = libraryJob.summary();
    std::string text = format(libraryPreviews ? PREVIEWS_SUMMARY : LIBRARY_SUMMARY, summary.written,
                              summary.failed, summary.skipped);
    const int failed = static_cast<int>(summary.failedCharts.size());
    if (failed > 0)
        text += std::string("\n\n") + (libraryPreviews ? FAILED_FOLDERS : FAILED_CHARTS);
    for (int i = 0; i < failed && i < FAILED_SHOWN; ++i) text += "\n" + summary.failedCharts[i];
    if (failed > FAILED_SHOWN) text += "\n" + format(FAILED_MORE, failed - FAILED_SHOWN);
    text +=
        "\n\n" + format(summary.reported ? REPORT_WRITTEN : REPORT_FAILED, summary.report.c_str());
    const bool clean = failed == 0 && summary.reported;
    showMessage(text, LIBRARY_CAPTION, clean ? MB_ICONINFORMATION : MB_ICONWARNING);
}

void MainFrame::enableStarts(bool enabled) {
    for (LuWindow* control : {inputBrowseButton, outputBrowseButton, convertButton, folderButton})
        EnableWindow(control->getHandle(), enabled);
}
