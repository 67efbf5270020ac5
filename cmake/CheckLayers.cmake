# Keeps the layers apart: a build step fails when a file of a library, or a
# header reachable through its include folders, includes what that layer
# must not see (Qt and window headers in the core, the windows in the
# widgets). The check runs whenever one of those files changes.

set(TUNRAX_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/CheckIncludes.cmake)

# tunrax_check_includes(target [REACHABLE] FORBID pattern...): checks the
# files of the target's folder, with REACHABLE also everything below its
# public include folders. Each pattern is the start of an include's name,
# e.g. "app/" or "<Q".
function(tunrax_check_includes target)
    cmake_parse_arguments(ARG "REACHABLE" "" "FORBID" ${ARGN})
    get_target_property(source_dir ${target} SOURCE_DIR)
    set(include_dirs)
    if(ARG_REACHABLE)
        get_target_property(include_dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    endif()
    set(dirs ${source_dir})
    foreach(dir IN LISTS include_dirs)
        if(NOT dir MATCHES "^\\$<" AND IS_DIRECTORY ${dir})
            list(APPEND dirs ${dir})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES dirs)
    set(files)
    foreach(dir IN LISTS dirs)
        file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.cpp)
        list(APPEND files ${found})
    endforeach()
    list(REMOVE_DUPLICATES files)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_layers.stamp)
    string(REPLACE ";" "|" forbid "${ARG_FORBID}")
    string(REPLACE ";" "|" dirs_arg "${dirs}")
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} "-DTARGET=${target}" "-DDIRS=${dirs_arg}"
                "-DFORBID=${forbid}" "-DSTAMP=${stamp}" -P ${TUNRAX_CHECK_SCRIPT}
        DEPENDS ${files} ${TUNRAX_CHECK_SCRIPT}
        COMMENT "Checking the includes of ${target}"
        VERBATIM)
    add_custom_target(${target}_layers DEPENDS ${stamp})
    add_dependencies(${target} ${target}_layers)
endfunction()

# The core: no Qt, no GStreamer, no window header.
function(tunrax_check_no_qt target)
    tunrax_check_includes(${target} REACHABLE FORBID "<Q" "<qt" "<gst/" "widgets/" "app/")
endfunction()

# The GStreamer backend: no Qt, no window header. Its files only: what it
# includes of the core is the core's own check.
function(tunrax_check_no_windows target)
    tunrax_check_includes(${target} FORBID "<Q" "<qt" "widgets/" "app/")
endfunction()
