# Fails when a source file includes a header of a higher floor. The floors, lowest first:
#   0 src/util
#   1 src/settings
#   2 src/job, src/product, src/report, src/service
#   3 src/app and any folder below it (the application's core, in halvix_core)
#   4 src/ui and src/app/main.cpp (the widgets, the main window, and the program)
# A file may include its own floor and any lower one. Tests, tools and benchmarks are outside.
#
#   cmake -DROOT=<src folder> -P check_include_floors.cmake
#   cmake -DROOT=<src folder> -DEXPECT=<"file -> header" list> -P check_include_floors.cmake
# The second form passes only when exactly the expected violations are found (the checker's own
# test runs it on a tree made of wrong includes).

if(NOT ROOT OR NOT IS_DIRECTORY "${ROOT}")
    message(FATAL_ERROR "ROOT must name the source folder to check")
endif()
get_filename_component(ROOT "${ROOT}" REALPATH)

# The floor of a path relative to ROOT, or -1 for a path outside the floors.
function(floor_of path out)
    set(floor -1)
    if(path MATCHES "^util/")
        set(floor 0)
    elseif(path MATCHES "^settings/")
        set(floor 1)
    elseif(path MATCHES "^(job|product|report|service)/")
        set(floor 2)
    elseif(path STREQUAL "app/main.cpp")
        set(floor 4)
    elseif(path MATCHES "^app/")
        set(floor 3)
    elseif(path MATCHES "^ui/")
        set(floor 4)
    endif()
    set(${out} ${floor} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/*.cpp" "${ROOT}/*.h")
list(SORT sources)
set(found "")
foreach(source IN LISTS sources)
    floor_of("${source}" sourceFloor)
    if(sourceFloor LESS 0)
        continue()
    endif()
    file(STRINGS "${ROOT}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${line}")
        # A header named by a project path ("job/Job.h") or next to the including file ("Job.h",
        # "../util/x.h").
        set(target "${header}")
        get_filename_component(sourceDir "${source}" DIRECTORY)
        if(NOT EXISTS "${ROOT}/${header}" AND EXISTS "${ROOT}/${sourceDir}/${header}")
            get_filename_component(absolute "${ROOT}/${sourceDir}/${header}" ABSOLUTE)
            file(RELATIVE_PATH target "${ROOT}" "${absolute}")
        endif()
        floor_of("${target}" targetFloor)
        if(targetFloor GREATER sourceFloor)
            list(APPEND found "${source} -> ${target}")
        endif()
    endforeach()
endforeach()

if(DEFINED EXPECT)
    set(expected ${EXPECT})
    list(SORT expected)
    if(NOT found STREQUAL expected)
        string(REPLACE ";" "\n  " foundText "${found}")
        string(REPLACE ";" "\n  " expectedText "${expected}")
        message(FATAL_ERROR "Expected these upward includes:\n  ${expectedText}\n"
                            "found:\n  ${foundText}")
    endif()
    list(LENGTH found count)
    message(STATUS "All ${count} planted upward includes were found")
    return()
endif()

if(found)
    string(REPLACE ";" "\n  " foundText "${found}")
    message(FATAL_ERROR "A lower floor includes a higher one:\n  ${foundText}\n"
                        "(floors: util < settings < job/product/report/service < app core "
                        "< ui)")
endif()
list(LENGTH sources count)
message(STATUS "${count} files checked: no include reaches up a floor")
