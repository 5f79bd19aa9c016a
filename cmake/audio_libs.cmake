# The libraries of the output side, found through pkg-config: libsoxr resamples the songs for
# Opus, libebur128 measures their loudness (libsndfile, which encodes them, comes from
# sndfile.cmake). Defines keymix_audio_libs, an interface target that carries them and
# libsndfile; a missing one stops the configuration with the
# Debian package to install. Windows builds link the static libraries of a cross-built prefix,
# with the dependencies that their .pc files list.
include_guard(GLOBAL)
find_package(PkgConfig QUIET)
if(NOT PKG_CONFIG_FOUND)
    message(FATAL_ERROR "pkg-config not found: it finds the audio libraries "
                        "(sudo apt-get install pkg-config)")
endif()

add_library(keymix_audio_libs INTERFACE)

# Finds `module` under the variable prefix `prefix` and links it to keymix_audio_libs.
function(keymix_link_audio_library prefix module package)
    if(NOT TARGET PkgConfig::${prefix})
        pkg_check_modules(${prefix} QUIET IMPORTED_TARGET GLOBAL ${module})
    endif()
    if(NOT TARGET PkgConfig::${prefix})
        message(FATAL_ERROR "${module} not found through pkg-config "
                            "(sudo apt-get install ${package})")
    endif()
    if(WIN32)
        target_include_directories(keymix_audio_libs SYSTEM INTERFACE
                                   ${${prefix}_STATIC_INCLUDE_DIRS})
        target_compile_options(keymix_audio_libs INTERFACE ${${prefix}_STATIC_CFLAGS_OTHER})
        target_link_libraries(keymix_audio_libs INTERFACE ${${prefix}_STATIC_LDFLAGS})
    else()
        target_link_libraries(keymix_audio_libs INTERFACE PkgConfig::${prefix})
    endif()
endfunction()

keymix_link_audio_library(SOXR soxr libsoxr-dev)
keymix_link_audio_library(EBUR128 libebur128 libebur128-dev)
include(${CMAKE_CURRENT_LIST_DIR}/sndfile.cmake)
target_link_libraries(keymix_audio_libs INTERFACE keymix_sndfile)
