#include "gui/app/main_frame.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "convert/song_output.h"
#include "gui/app/file_edit.h"
#include "gui/app/texts.h"
#include "gui/framework/controls.h"
#include "song/sound_file_writer.h"
#include "text/format.h"
#include "text/number.h"

namespace {

constexpr int PROGRESS_MAXIMUM = 200;

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
      volumeRead(false),
      samplesLoaded(false),
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
    if (message == WM_DROPFILES) {
        LRESULT result = onDropFiles(reinterpret_cast<HDROP>(wParam));
        if (result != NOT_HANDLED) return result;
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
        case ID_CONVERT:
            runConversion();
            return 0;
    }
    return NOT_HANDLED;
}

LRESULT MainFrame::onDropFiles(HDROP drop) {
    // A window dragged onto from another program comes to the front.
    bringToFront();
    // Only the first item counts; whatever it names is taken as the chart.
    DragQueryFileA(drop, 0, textBuffer, MAX_PATH);
    inputEdit->setText(textBuffer);
    outputEdit->setText(proposeOutputPath(textBuffer).c_str());
    DragFinish(drop);
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

bool MainFrame::chartParsed(const BmsBms* /*chart*/, bool outputExists) {
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
