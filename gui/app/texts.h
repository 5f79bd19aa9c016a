// Every text that keymixw shows: title, control labels, dialog strings, status
// lines and message boxes. Formats are for the standard printing.
#ifndef GUI_APP_TEXTS_H_
#define GUI_APP_TEXTS_H_

constexpr char TITLE[] = "KEYMIX GUI BETA 13";

constexpr char INPUT_LABEL[] = "入力";
constexpr char OUTPUT_LABEL[] = "出力";
constexpr char BROWSE_LABEL[] = "参照";
constexpr char VOLUME_LABEL[] = "音量( % )";
constexpr char DEFAULT_VOLUME[] = "50";
constexpr char KEEP_SOUND_LABEL[] = "同じWAVが鳴っても前のを消さない";
constexpr char EXTENDED_SAMPLES_LABEL[] = "拡張WAV読み込み (OGG/FLAC/MP3)";
constexpr char SILENT_MISSING_LABEL[] = "見つからないWAVは無音にする";
constexpr char NORMALISE_LABEL[] = "音量を揃えて音割れを防ぐ";
constexpr char CONVERT_LABEL[] = "変換";
constexpr char FOLDER_LABEL[] = "フォルダ一括変換";
constexpr char PREVIEWS_LABEL[] = "プレビューを作る";
constexpr char START_STATUS[] = "入力BMSファイルを指定して変換ボタンを押せ！";

// File dialog filters: label, pattern, and the closing empty entry.
constexpr char INPUT_FILTER[] = "BMSファイル(*.bms;*.bme;*.bml;*.pms;*.bmson)\0*.*\0";
constexpr char OUTPUT_FILTER[] =
    "WAVファイル(*.wav)\0*.*\0"
    "FLACファイル(*.flac)\0*.flac\0"
    "Ogg Vorbisファイル(*.ogg)\0*.ogg\0"
    "Opusファイル(*.opus)\0*.opus\0"
    "MP3ファイル(*.mp3)\0*.mp3\0";
// The extensions of OUTPUT_FILTER's entries after the first, added to a name chosen with that
// entry when the name does not end in it.
constexpr const char* OUTPUT_EXTENSIONS[] = {".flac", ".ogg", ".opus", ".mp3"};
constexpr char INPUT_DIALOG_TITLE[] = "BMSファイルを開く";
constexpr char OUTPUT_DIALOG_TITLE[] = "WAVファイルを保存する";
constexpr char FOLDER_DIALOG_TITLE[] = "一括変換するフォルダを選んでください";

constexpr char PREPARING_STATUS[] = "WAV変換準備中 ......";
constexpr char LOADING_STATUS[] = "WAV読み込み中";
constexpr char MIXING_STATUS[] = "WAV合成開始";
constexpr char FINISHED_STATUS[] = "終了 WAVファイルへ書き込みました";

constexpr char ERROR_CAPTION[] = "ERROR";
constexpr char CLASS_FAILED[] = "ウィンドウクラスの登録に失敗しました。";
constexpr char WINDOW_FAILED[] = "ウィンドウの作成に失敗しました。";
constexpr char PARSE_FAILED_CAPTION[] = "BMSファイル解析失敗";
constexpr char CONFIRM_CAPTION[] = "確認";
constexpr char OVERWRITE_QUESTION[] = "%s\nファイルを上書きしますか？";
constexpr char CANNOT_WRITE[] = "出力ファイルに書き込めません";
constexpr char BAD_VOLUME[] = "音量を正しく指定して";
constexpr char CONVERT_FAILED[] = "WAVへの変換失敗 FILE : %s";
// Added below CONVERT_FAILED when extended reading is on and loading a key sound stopped the
// conversion.
constexpr char MISSING_SAMPLE_HINT[] =
    "\nこのWAVが見つからないか読めません。\n"
    "「見つからないWAVは無音にする」をチェックすれば無音にして変換できます。";
constexpr char WRITE_FAILED[] = "WAVファイルへの書き込みが失敗";

// After a conversion that left key sounds silent: one line per file, at most
// SILENCED_SHOWN of them, then how many more there were.
constexpr char SILENCED_CAPTION[] = "無音にしたWAV";
constexpr char SILENCED_LINE[] = "WAVが読めないので無音にしました %s (ノーツ数 %d)";
constexpr char SILENCED_MORE[] = "ほか %d ファイル";
constexpr int SILENCED_SHOWN = 10;

constexpr char CONTINUE_CAPTION[] = "変換続行しますか？";
constexpr char CONTINUE_QUESTION[] =
    "%s\nこのファイルが存在しませんでしたがBMS内で使っていないので正常に変換できます。\n"
    "変換しますか？";
constexpr char CONTINUE_INSIST[] = "BMS的に正しくないんだよ？ 本当に変換するのぉ？";
constexpr char CONTINUE_GRANTED_CAPTION[] = "変換します";
constexpr char CONTINUE_GRANTED[] = "仕方ない、変換してさしあげますよ";

// A folder or an archive: the status line while its charts (or, for previews, its folders)
// render, and the box at the end, which names at most FAILED_SHOWN of the failures.
constexpr char LIBRARY_PREPARING_STATUS[] = "譜面を探しています ......";
constexpr char LIBRARY_STATUS[] = "譜面 %d / %d 完了  失敗 %d";
constexpr char PREVIEWS_STATUS[] = "フォルダ %d / %d 完了  失敗 %d";
constexpr char LIBRARY_FINISHED_STATUS[] = "終了 譜面 %d / %d 完了  失敗 %d";
constexpr char PREVIEWS_FINISHED_STATUS[] = "終了 フォルダ %d / %d 完了  失敗 %d";
constexpr char STOPPING_STATUS[] = "中断しています 変換中の譜面が終わるまで待ってね";
constexpr char LIBRARY_CAPTION[] = "一括変換終了";
constexpr char LIBRARY_SUMMARY[] = "書き込み %d  失敗 %d  スキップ %d";
constexpr char PREVIEWS_SUMMARY[] = "フォルダ 書き込み %d  失敗 %d  スキップ %d";
constexpr char FAILED_CHARTS[] = "失敗した譜面";
constexpr char FAILED_FOLDERS[] = "失敗したフォルダ";
constexpr char FAILED_MORE[] = "ほか %d 件";
constexpr int FAILED_SHOWN = 10;
constexpr char REPORT_WRITTEN[] = "結果一覧を書き込みました %s";
constexpr char REPORT_FAILED[] = "結果一覧を書き込めません %s";
constexpr char FOLDER_UNREADABLE[] = "フォルダを読めません %s";
constexpr char NO_ARCHIVES[] = "このKEYMIXはアーカイブを読めません %s";

#endif  // GUI_APP_TEXTS_H_
