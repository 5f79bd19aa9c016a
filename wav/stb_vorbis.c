// The Ogg Vorbis decoder of Debian's libstb-dev, a header that holds the whole library, built
// into the wav library once. Streams are decoded from memory, in memory the caller hands over.
#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#include <stb/stb_vorbis.h>
