# zedu_install_gzipped(<file> <destination> [RENAME <name>])
#
# Installs <file> (relative to the source folder) into <destination> (relative
# to the prefix, or absolute) compressed as <name>.gz, the way Debian keeps
# manual pages and changelogs: gzip -9, without the file's name and time (-n),
# so that the same source gives the same bytes. The compression runs at
# install time, as the desktop entry's rewriting does, so that an install
# needs nothing but the program built.
find_program(ZEDU_GZIP gzip REQUIRED)

function(zedu_install_gzipped file destination)
    cmake_parse_arguments(ARG "" "RENAME" "" ${ARGN})
    get_filename_component(name "${file}" NAME)
    if(ARG_RENAME)
        set(name "${ARG_RENAME}")
    endif()
    if(IS_ABSOLUTE "${destination}")
        set(target "${destination}")
    else()
        set(target "\${CMAKE_INSTALL_PREFIX}/${destination}")
    endif()
    # One scratch folder per destination: zedu.1 and its Japanese page share
    # a name.
    string(MAKE_C_IDENTIFIER "${destination}" scratch)
    set(work "${CMAKE_BINARY_DIR}/gzipped/${scratch}")
    install(CODE "
        file(MAKE_DIRECTORY \"${work}\")
        execute_process(COMMAND \"${ZEDU_GZIP}\" -9nc \"${CMAKE_SOURCE_DIR}/${file}\"
                        OUTPUT_FILE \"${work}/${name}.gz\" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR \"gzip could not compress ${file}\")
        endif()
        file(INSTALL DESTINATION \"${target}\" TYPE FILE
             PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
             FILES \"${work}/${name}.gz\")")
endfunction()
