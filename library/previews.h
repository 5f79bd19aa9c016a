// Song-select previews of a library run: which folders get one, and which of a folder's charts
// it is rendered from.
#ifndef LIBRARY_PREVIEWS_H_
#define LIBRARY_PREVIEWS_H_

#include <string>
#include <vector>

#include "convert/render_options.h"

// The name of the preview a library run writes into a folder; players take the first file
// whose lower-cased name starts with "preview" and ends in .wav, .ogg, .mp3 or .flac.
constexpr char PREVIEW_NAME[] = "preview_keymix.ogg";

// Whether the file name is one that players take as a folder's preview.
bool isPreviewName(const std::string& name);

// A file in `folder` (a path ending in a separator, or empty for the current folder) that
// players take as its preview, other than one of PREVIEW_NAME; empty when there is none.
std::string ownPreview(const std::string& folder);

// Of `charts`, all in one folder: the one with the most sounded notes when rendered with
// `options` (the first of equals; the first chart when none can be played), or, in `*named`,
// an existing file that a chart names with #PREVIEW, which then leaves `*chosen` empty.
void choosePreviewChart(const std::vector<std::string>& charts, const RenderOptions& options,
                        std::string* chosen, std::string* named);

#endif  // LIBRARY_PREVIEWS_H_
