# The Debian package of the console program, made by `cpack -G DEB` in the build folder:
# /usr/bin/keymix; its manual page, written from the README's option and message tables by
# scripts/make_manpage.pl whenever the README changes; the README itself; the copyright in
# Debian's machine-readable format made from LICENSE; a changelog; and dependencies on the
# runtime libraries the program links, found by dpkg-shlibdeps. The version is the project's.
include_guard(GLOBAL)

set(KEYMIX_SUMMARY "render a BMS or bmson chart with its key sounds into one audio file")
set(KEYMIX_MAINTAINER "keymix maintainers <maintainers@users.noreply.c-seed-b6b813fa.example>"
    CACHE STRING "The maintainer named in the Debian package")
set(doc ${CMAKE_BINARY_DIR}/package)

find_program(KEYMIX_PERL perl)
if(NOT KEYMIX_PERL)
    message(FATAL_ERROR "perl not found: it writes the manual page (sudo apt-get install perl)")
endif()
add_custom_command(
    OUTPUT ${doc}/keymix.1 ${doc}/keymix.1.gz ${doc}/README.md.gz
    COMMAND ${KEYMIX_PERL} ${PROJECT_SOURCE_DIR}/scripts/make_manpage.pl
            ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_VERSION} ${KEYMIX_SUMMARY} ${doc}/keymix.1
    COMMAND gzip -9nf -k ${doc}/keymix.1
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/README.md > ${doc}/README.md.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/scripts/make_manpage.pl
    COMMENT "Writing the manual page from README.md"
    VERBATIM)
add_custom_target(keymix_manual ALL DEPENDS ${doc}/keymix.1.gz ${doc}/README.md.gz)

# The copyright: the project's licence, and the notices of nlohmann/json, whose headers are
# compiled into the program, taken from the Debian package that supplies them.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" unused "${licence}")
set(holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*\n\n(Permission is hereby granted)" "\\1" terms "${licence}")
string(STRIP "${terms}" terms)
string(REGEX REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REGEX REPLACE "\n" "\n " terms "${terms}")
set(json_notice "")
if(EXISTS /usr/share/doc/nlohmann-json3-dev/copyright)
    file(READ /usr/share/doc/nlohmann-json3-dev/copyright json_copyright)
    string(REGEX MATCHALL "Files: (\\*|include/[^\n]*)\nCopyright: [^\n]*" json_files
                 "${json_copyright}")
    foreach(paragraph IN LISTS json_files)
        string(REGEX REPLACE ".*\nCopyright: " "" line "${paragraph}")
        string(APPEND json_notice "\n Copyright ${line}")
    endforeach()
endif()
file(WRITE ${doc}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: keymix
Comment: /usr/bin/keymix is compiled with the header-only library nlohmann/json,
 under the Expat licence below:${json_notice}

Files: *
Copyright: ${holder}
License: Expat

License: Expat
 ${terms}
")

# A native package's changelog: one entry for the version, dated by the last commit.
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%aD
                OUTPUT_VARIABLE changed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT changed)
    string(TIMESTAMP changed "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
file(WRITE ${doc}/changelog "keymix (${PROJECT_VERSION}) stable; urgency=medium

  * keymix ${PROJECT_VERSION}.

 -- ${KEYMIX_MAINTAINER}  ${changed}
")
execute_process(COMMAND gzip -9nf -k ${doc}/changelog)

install(TARGETS keymix RUNTIME DESTINATION bin)
install(FILES ${doc}/keymix.1.gz DESTINATION share/man/man1)
install(FILES ${doc}/copyright ${doc}/changelog.gz ${doc}/README.md.gz DESTINATION share/doc/keymix)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keymix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KEYMIX_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${KEYMIX_SUMMARY}")
set(CPACK_PACKAGE_DESCRIPTION
    "keymix renders a rhythm-game chart in the BMS or bmson format into one
mixed WAV file, or on request FLAC, Ogg Vorbis, Opus or MP3: it loads every
key sound the chart declares and places each on the chart's time line, tempo
changes and stops included. It can normalise the loudness, write a short
preview, render a chart as a player plays it, and render a whole library of
charts and song packages at once.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
