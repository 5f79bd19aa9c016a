# keymix_link_pkg(target prefix module package): finds the pkg-config module `module` under the
# variable prefix `prefix` and links it to the interface target `target`; a missing one stops
# the configuration with the Debian package to install. Windows builds link the static library
# of the cross-built prefix with the dependencies that its .pc file lists.
include_guard(GLOBAL)

function(keymix_link_pkg target prefix module package)
    # pkg-config's variables live in the scope of each folder that looks for it.
    find_package(PkgConfig QUIET)
    if(NOT PKG_CONFIG_FOUND)
        message(FATAL_ERROR "pkg-config not found: it finds the audio libraries "
                            "(sudo apt-get install pkg-config)")
    endif()
    if(NOT TARGET PkgConfig::${prefix})
        pkg_check_modules(${prefix} QUIET IMPORTED_TARGET GLOBAL ${module})
    endif()
    if(NOT TARGET PkgConfig::${prefix})
        message(FATAL_ERROR "${module} not found through pkg-config "
                            "(sudo apt-get install ${package})")
    endif()
    if(WIN32)
        target_include_directories(${target} SYSTEM INTERFACE ${${prefix}_STATIC_INCLUDE_DIRS})
        target_compile_options(${target} INTERFACE ${${prefix}_STATIC_CFLAGS_OTHER})
        target_link_libraries(${target} INTERFACE ${${prefix}_STATIC_LDFLAGS})
    else()
        target_link_libraries(${target} INTERFACE PkgConfig::${prefix})
    endif()
endfunction()
