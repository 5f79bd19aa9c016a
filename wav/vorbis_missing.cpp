// Stands in for the Ogg Vorbis decoder in builds made without it: every stream fails to
// decode, so an Ogg key sound counts as unreadable.
#include "wav/vorbis_decoder.h"

bool LuDecodeVorbis(const uint8_t*, size_t, LuVorbisSound*) {
    return false;
}
