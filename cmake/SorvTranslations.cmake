# sorv_embed_translations(TARGET target [PLURALS_ONLY] TS_FILES name_locale.ts... SOURCES path...)
#
# Compiles each Qt Linguist catalogue with lrelease and compiles the result
# into the target's resources as :/resource/translations/name_locale.qm,
# where the host looks for the catalogues of every loaded library.
# PLURALS_ONLY marks catalogues of the source language, which hold only the
# texts with plural forms ("%n problem(s)" read as "1 problem", "3 problems").
# Catalogue names must differ between libraries: they share one resource
# tree. SOURCES (files or folders, relative to the calling folder) are what
# lupdate reads for the catalogues: the target `lupdate_<target>` refreshes
# them, and the test suite checks that they miss no text of those sources.
function(sorv_embed_translations)
    cmake_parse_arguments(T "PLURALS_ONLY" "TARGET" "TS_FILES;SOURCES" ${ARGN})
    qt5_add_translation(qm_files ${T_TS_FILES})
    set(entries "")
    foreach(qm IN LISTS qm_files)
        get_filename_component(name ${qm} NAME)
        string(APPEND entries "        <file alias=\"${name}\">${qm}</file>\n")
    endforeach()
    set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${T_TARGET}_translations.qrc)
    file(WRITE ${qrc}.in
        "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n    <qresource prefix=\"/resource/translations\">\n"
        "${entries}    </qresource>\n</RCC>\n")
    # Rewritten only when it changes, so that a configure run rebuilds nothing.
    configure_file(${qrc}.in ${qrc} COPYONLY)
    target_sources(${T_TARGET} PRIVATE ${qm_files} ${qrc})

    set(sources "")
    foreach(source IN LISTS T_SOURCES)
        get_filename_component(source ${source} ABSOLUTE)
        list(APPEND sources ${source})
    endforeach()
    # The headers by library path, as the compiler finds them: a class's
    # namespace is part of its translation context.
    list(PREPEND sources -I ${PROJECT_SOURCE_DIR})
    if(T_PLURALS_ONLY)
        # An lupdate option, passed on wherever the sources are.
        list(PREPEND sources -pluralonly)
    endif()
    set(ts_paths "")
    foreach(ts IN LISTS T_TS_FILES)
        get_filename_component(ts ${ts} ABSOLUTE)
        list(APPEND ts_paths ${ts})
        # One line per catalogue for the test: the catalogue, then its sources.
        string(REPLACE ";" "\t" fields "${ts};${sources}")
        set_property(GLOBAL APPEND_STRING PROPERTY SORV_CATALOGUES "${fields}\n")
    endforeach()
    add_custom_target(lupdate_${T_TARGET}
        COMMAND Qt5::lupdate -locations none ${sources} -ts ${ts_paths}
        COMMENT "Refreshing the catalogues of ${T_TARGET}"
        VERBATIM)
endfunction()

# Writes the list of catalogues and their sources, collected from every
# sorv_embed_translations() call, to FILE.
function(sorv_write_catalogue_list file)
    get_property(lines GLOBAL PROPERTY SORV_CATALOGUES)
    file(WRITE ${file}.in "${lines}")
    configure_file(${file}.in ${file} COPYONLY)
endfunction()
