# Runs at install time (install(SCRIPT)): installs the desktop entry with an
# Exec line that names the installed program by its full path, so that the
# entry starts the program also where the prefix's bin folder is not on the
# PATH of the session (a per-user install in ~/.local), and so do the copies
# the program itself puts into the autostart and desktop folders.
#
# Set before this script runs: ZEDU_DESKTOP_SOURCE (the entry to install),
# ZEDU_DESKTOP_WORK (a scratch file), ZEDU_BINDIR and ZEDU_APPLICATIONSDIR
# (relative to the prefix, or absolute).

foreach(var ZEDU_BINDIR ZEDU_APPLICATIONSDIR)
    if(IS_ABSOLUTE "${${var}}")
        set(${var}_FULL "${${var}}")
    else()
        set(${var}_FULL "${CMAKE_INSTALL_PREFIX}/${${var}}")
    endif()
endforeach()

# The Exec value is unescaped twice: once as a desktop entry string, then by
# the Exec quoting rules, which reserve ", `, $ and \ inside double quotes.
set(program "${ZEDU_BINDIR_FULL}/zedu")
string(REPLACE "\\" "\\\\" quoted "${program}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
if(NOT program MATCHES "^[A-Za-z0-9/._+-]+$")
    set(quoted "\"${quoted}\"")
endif()

file(READ "${ZEDU_DESKTOP_SOURCE}" entry)
string(REGEX REPLACE "\nExec=[^\n]*" "\nExec=${quoted}" entry "${entry}")
file(WRITE "${ZEDU_DESKTOP_WORK}/zedu.desktop" "${entry}")
file(INSTALL DESTINATION "${ZEDU_APPLICATIONSDIR_FULL}" TYPE FILE
     FILES "${ZEDU_DESKTOP_WORK}/zedu.desktop")
