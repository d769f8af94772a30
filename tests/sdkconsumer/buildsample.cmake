# Installs the build tree into a fresh prefix, builds the sample plug-in
# against that prefix only, installs it there, and asks the installed host
# which plug-ins it loads.

foreach(var SORV_BUILD_DIR SAMPLE_SOURCE_DIR WORK_DIR SAMPLE_GENERATOR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
set(sample_build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
    execute_process(COMMAND ${ARGN}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}\n${output}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${SORV_BUILD_DIR} --prefix ${prefix})

# Nothing but the prefix may lead to the SDK: no package registry, no
# build tree.
run(${CMAKE_COMMAND} -S ${SAMPLE_SOURCE_DIR} -B ${sample_build} -G ${SAMPLE_GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON
    -DCMAKE_BUILD_TYPE=Release)
file(STRINGS ${sample_build}/CMakeCache.txt sdk_dir REGEX "^SorvSDK_DIR:")
if(NOT sdk_dir MATCHES "=${prefix}/")
    message(FATAL_ERROR "the sample found the SDK outside the prefix: ${sdk_dir}")
endif()
run(${CMAKE_COMMAND} --build ${sample_build})
run(${CMAKE_COMMAND} --install ${sample_build})

# The installed host, with no option, finds both the module installed with
# it and the sample copied into its plug-in folder.
run(${prefix}/bin/sorv --list-plugins)
message(STATUS "sorv --list-plugins:\n${output}")
string(REGEX MATCH "loaded\t[^\t\n]*/sorv/plugins/libBrowseFBFile.so\tBrowseFBFile\t" module_line "${output}")
string(REGEX MATCH "loaded\t[^\t\n]*/sorv/plugins/libSamplePlugin.so\tSamplePlugin\t[^\t]*\t\"Sample Pick Count\"" sample_line "${output}")
if(NOT module_line OR NOT sample_line)
    message(FATAL_ERROR "the installed host did not load both plug-ins")
endif()
if(output MATCHES "(^|\n)failed\t")
    message(FATAL_ERROR "the installed host refused a library")
endif()
foreach(line IN ITEMS "${module_line}" "${sample_line}")
    string(FIND "${line}" "${prefix}/" at)
    if(NOT at GREATER -1)
        message(FATAL_ERROR "loaded from outside the prefix: ${line}")
    endif()
endforeach()
