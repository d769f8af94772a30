# Builds the sample plug-in with the CMake snippet of the README, against an
# installed SDK only, and asks the installed host which plug-ins it loads.
#
#   SORV_BUILD_DIR  the build tree to install into a fresh prefix under
#                   WORK_DIR first; without it, PREFIX names an SDK already
#                   installed (such as /usr, from the Debian package)
#   README, SAMPLE_SOURCE, WORK_DIR, SAMPLE_GENERATOR  as their names say

foreach(var README SAMPLE_SOURCE WORK_DIR SAMPLE_GENERATOR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(sample_source ${WORK_DIR}/source)
set(sample_build ${WORK_DIR}/build)

function(run)
    execute_process(COMMAND ${ARGN}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}\n${output}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

# The project is the README's own snippet, so the two cannot drift apart.
file(READ ${README} readme)
string(REGEX MATCH "<!-- sdk-snippet-begin -->\n```cmake\n(.*)```\n<!-- sdk-snippet-end -->" found "${readme}")
if(NOT found)
    message(FATAL_ERROR "no SDK snippet between the markers in ${README}")
endif()
file(WRITE ${sample_source}/CMakeLists.txt "${CMAKE_MATCH_1}")
configure_file(${SAMPLE_SOURCE} ${sample_source}/myplugin.cpp COPYONLY)

if(DEFINED SORV_BUILD_DIR)
    set(PREFIX ${WORK_DIR}/prefix)
    run(${CMAKE_COMMAND} --install ${SORV_BUILD_DIR} --prefix ${PREFIX})
    set(install_sample ON)
elseif(NOT DEFINED PREFIX)
    message(FATAL_ERROR "give SORV_BUILD_DIR or PREFIX")
endif()

# Nothing but the prefix may lead to the SDK: no package registry, no
# build tree.
run(${CMAKE_COMMAND} -S ${sample_source} -B ${sample_build} -G ${SAMPLE_GENERATOR}
    -DCMAKE_PREFIX_PATH=${PREFIX}
    -DCMAKE_INSTALL_PREFIX=${PREFIX}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON
    -DCMAKE_BUILD_TYPE=Release)
file(STRINGS ${sample_build}/CMakeCache.txt sdk_dir REGEX "^SorvSDK_DIR:")
if(NOT sdk_dir MATCHES "=${PREFIX}/")
    message(FATAL_ERROR "the sample found the SDK outside ${PREFIX}: ${sdk_dir}")
endif()
run(${CMAKE_COMMAND} --build ${sample_build})

# The listing is read in English, whatever the machine's language.
set(sorv ${CMAKE_COMMAND} -E env --unset=LANGUAGE LC_ALL=C.UTF-8 ${PREFIX}/bin/sorv)
# The installed host finds the module installed with it by default; the
# sample is copied into its plug-in folder when that is ours to change, and
# otherwise given with --plugin-dir beside the default folder.
if(install_sample)
    run(${CMAKE_COMMAND} --install ${sample_build})
    run(${sorv} --list-plugins)
else()
    run(${sorv} --list-plugins)
    string(REGEX MATCH "loaded\t([^\t\n]*)/libBrowseFBFile.so\t" default_line "${output}")
    run(${sorv} --list-plugins --plugin-dir ${CMAKE_MATCH_1} --plugin-dir ${sample_build})
endif()
message(STATUS "sorv --list-plugins:\n${output}")
string(REGEX MATCH "loaded\t[^\t\n]*/sorv/plugins/libBrowseFBFile.so\tBrowseFBFile\t" module_line "${output}")
string(REGEX MATCH "loaded\t[^\t\n]*/libmyplugin.so\tSamplePlugin\t[^\t]*\t\"Sample Pick Count\""
    sample_line "${output}")
if(NOT module_line OR NOT sample_line)
    message(FATAL_ERROR "the installed host did not load both plug-ins")
endif()
if(output MATCHES "(^|\n)failed\t")
    message(FATAL_ERROR "the installed host refused a library")
endif()
string(FIND "${module_line}" "${PREFIX}/" at)
if(NOT at GREATER -1)
    message(FATAL_ERROR "the module was loaded from outside ${PREFIX}: ${module_line}")
endif()
