# The libraries of the output side, found through pkg-config: libsoxr resamples the songs for
# Opus, libebur128 measures their loudness (libsndfile, which encodes them, comes from
# sndfile.cmake). Defines keymix_audio_libs, an interface target that carries them and
# libsndfile.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/pkg_link.cmake)

add_library(keymix_audio_libs INTERFACE)
keymix_link_pkg(keymix_audio_libs SOXR soxr libsoxr-dev)
keymix_link_pkg(keymix_audio_libs EBUR128 libebur128 libebur128-dev)
include(${CMAKE_CURRENT_LIST_DIR}/sndfile.cmake)
target_link_libraries(keymix_audio_libs INTERFACE keymix_sndfile)
