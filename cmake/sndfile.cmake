# libsndfile, the decoder of the key sounds that option -x reads beyond plain PCM WAV files
# (WAV in its other encodings, AIFF, FLAC, Ogg Vorbis, Ogg Opus, MP3). It defines one target,
# keymix_sndfile, for the wav library to link. Linux builds take the system's shared library;
# Windows builds link it statically from the prefix that PKG_CONFIG_LIBDIR names, with the
# codec libraries behind it in the order its .pc file lists them.
if(TARGET keymix_sndfile)
    return()
endif()
find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
    pkg_check_modules(SNDFILE IMPORTED_TARGET GLOBAL sndfile>=1.1)
endif()
if(NOT SNDFILE_FOUND)
    message(FATAL_ERROR "libsndfile 1.1 or later was not found through pkg-config; it decodes "
                        "the key sounds of option -x (sudo apt-get install libsndfile1-dev "
                        "pkg-config)")
endif()

add_library(keymix_sndfile INTERFACE)
if(WIN32)
    target_compile_options(keymix_sndfile INTERFACE ${SNDFILE_STATIC_CFLAGS})
    target_link_libraries(keymix_sndfile INTERFACE ${SNDFILE_STATIC_LDFLAGS})
else()
    target_link_libraries(keymix_sndfile INTERFACE PkgConfig::SNDFILE)
endif()
