# The Debian package. `scripts/package` configures a release build with
# ZEDU_DEBIAN_PACKAGE=ON and runs `cpack -G DEB` in it: CPack installs the
# build as `cmake --install` does, under the prefix /usr in a staging folder,
# and packs that into zedu_VERSION-REVISION_ARCH.deb.
#
# Without the option the install rules stay those of a plain install, and
# the licence is installed as LICENSE.

option(ZEDU_DEBIAN_PACKAGE
       "Install the documentation folder as a Debian package holds it and set up CPack" OFF)

if(NOT ZEDU_DEBIAN_PACKAGE)
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zedu)
    return()
endif()

# The latest entry of the changelog gives the package's version and its
# maintainer; its upstream part must be the project's version, so that a
# new version cannot be packaged without an entry that says what changed.
file(STRINGS packaging/changelog heading REGEX "^zedu \\(" LIMIT_COUNT 1)
file(STRINGS packaging/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT heading MATCHES "^zedu \\(([^)-]+)-([^)]+)\\)")
    message(FATAL_ERROR "packaging/changelog: no entry \"zedu (VERSION-REVISION) ...\" at the top")
endif()
set(changelog_version ${CMAKE_MATCH_1})
set(ZEDU_DEBIAN_REVISION ${CMAKE_MATCH_2})
if(NOT changelog_version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/changelog: its latest entry is for ${changelog_version}, "
                        "the project is ${PROJECT_VERSION}: add an entry for it")
endif()
if(NOT trailer MATCHES "^ -- (.+ <[^>]+>)  ")
    message(FATAL_ERROR "packaging/changelog: the latest entry has no \" -- NAME <ADDRESS>  DATE\" line")
endif()
set(ZEDU_MAINTAINER "${CMAKE_MATCH_1}")

# Debian's documentation folder: the licence in the machine-readable
# copyright format, and the changelog.
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zedu)
zedu_install_gzipped(packaging/changelog ${CMAKE_INSTALL_DATADIR}/doc/zedu
                     RENAME changelog.Debian)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zedu)
set(CPACK_PACKAGE_CONTACT "${ZEDU_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "calendar and diary with a Japanese user interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Zedu keeps one record per calendar day for a range of whole months in one
file: whether the day is a workday or a holiday, and a free-text entry of any
length. Its window shows a month grid with holidays in red beside the selected
day's entry, which is saved on its own. It knows the Japanese public
holidays, searches the whole diary, exports it as text, Markdown, CSV, JSON,
iCalendar or PDF (also from the command line, for nightly copies), imports
and prints it, and can keep the calendar encrypted.

The user interface is in Japanese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZEDU_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The libraries the program links are found by dpkg-shlibdeps. What it
# cannot see is named here: Qt's SQLite driver, a plugin loaded at run time,
# and xdg-open, which opens the manual and without which the window does not
# start.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, xdg-utils")
# The Japanese fonts the window and printed pages ask for first (any CJK
# font shows the text), and the Japanese texts of Qt's own buttons.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, fonts-noto-cjk, qt6-translations-l10n")

# Installed under /usr through DESTDIR, so that the install rules see the
# real prefix (the desktop entry's Exec names /usr/bin/zedu).
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
