#include "bmson/message.h"

namespace {

// Indexed by BmsonMessage; {path} and {n} stand for the path and the number.
const char* const TEXTS[] = {
    "ファイルが開けませんでした。",
    "ファイルが大きすぎます（{n} バイトまで）。",
    "JSON の書式が正しくありません（{n} バイト目）。",
    "数値が大きすぎます（{n} バイト目）。",
    "{path} の入れ子が深すぎます（{n} 段まで）。",
    "{path} の要素が多すぎます（全体で {n} 個まで）。",
    "{path} が2回指定されました。",
    "{path} がありません。",
    "{path} にはオブジェクトを指定してください。",
    "{path} には配列を指定してください。",
    "{path} には文字列を指定してください。",
    "{path} には数値を指定してください。",
    "{path} には整数を指定してください。",
    "{path} には0以上の整数を指定してください。",
    "{path} には true か false を指定してください。",
    "{path} のテンポが正しくありません。",
    "{path} の音声ファイル名に絶対パスは使えません。",
    "{path} の音声ファイル名に「..」は使えません。",
    "{path} の音声ファイル名に NUL 文字は使えません。",
    "{path} の位置が出力できる長さ（{n} フレーム）を超えます。",
};

void replace(std::string* text, const std::string& placeholder, const std::string& value) {
    const size_t at = text->find(placeholder);
    if (at != std::string::npos) text->replace(at, placeholder.size(), value);
}

}  // namespace

std::string BmsonMessageText(BmsonMessage message, const std::string& path, uint64_t number) {
    std::string text = TEXTS[static_cast<int>(message)];
    replace(&text, "{n}", std::to_string(number));
    replace(&text, "{path}", path);
    return text;
}
