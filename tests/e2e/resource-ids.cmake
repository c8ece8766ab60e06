# Writes the resource identifiers as the compiler sees them, one "NAME VALUE" line each, for the
# scripts that find controls and texts by name (tests/e2e, tools/screenshots.sh):
#   cmake -DCOMPILER=cc -DHEADER=resource.h -DINCLUDES="dir|dir" -DOUTPUT=ids.txt -P resource-ids.cmake
# The preprocessor reads the header, so whatever it includes counts, and a value written as an
# expression of other identifiers comes out as its number.
foreach(var COMPILER HEADER OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "resource-ids.cmake: ${var} is not set")
    endif()
endforeach()
set(include_flags)
if(INCLUDES)
    string(REPLACE "|" ";" include_dirs "${INCLUDES}")
    foreach(dir IN LISTS include_dirs)
        if(dir)
            list(APPEND include_flags "-I${dir}")
        endif()
    endforeach()
endif()
get_filename_component(work "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${work}")

# Every object-like macro the header defines; the compiler's own are not named ID...
execute_process(COMMAND ${COMPILER} -x c -E -dM ${include_flags} "${HEADER}"
                OUTPUT_VARIABLE macros RESULT_VARIABLE failed ERROR_VARIABLE errors)
if(failed)
    message(FATAL_ERROR "resource-ids.cmake: the preprocessor failed on ${HEADER}:\n${errors}")
endif()
string(REGEX MATCHALL "#define ID[A-Za-z0-9_]* " names "${macros}")
list(TRANSFORM names REPLACE "^#define ([A-Za-z0-9_]+) $" "\\1")
list(REMOVE_DUPLICATES names)
list(SORT names)

# Each name beside its expansion: a string literal is not expanded, the bare name is.
set(probe_source "#include \"${HEADER}\"\n")
foreach(name IN LISTS names)
    string(APPEND probe_source "\"${name}\" ${name}\n")
endforeach()
file(WRITE "${OUTPUT}.c" "${probe_source}")
execute_process(COMMAND ${COMPILER} -x c -E -P ${include_flags} "${OUTPUT}.c"
                OUTPUT_VARIABLE expanded RESULT_VARIABLE failed ERROR_VARIABLE errors)
file(REMOVE "${OUTPUT}.c")
if(failed)
    message(FATAL_ERROR "resource-ids.cmake: the preprocessor failed:\n${errors}")
endif()

set(lines "")
string(REPLACE "\n" ";" expanded_lines "${expanded}")
foreach(line IN LISTS expanded_lines)
    if(NOT line MATCHES "^\"(ID[A-Za-z0-9_]*)\" (.+)$")
        continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    # Integer suffixes (1000u, 5L) mean nothing to math(); the value is the same without them.
    string(REGEX REPLACE "([0-9a-fA-FxX]+)[uUlL]+" "\\1" value "${CMAKE_MATCH_2}")
    string(STRIP "${value}" value)
    if(NOT value MATCHES "^[-+~()0-9a-fA-FxX <>|&^*/%]+$")
        message(STATUS "resource-ids.cmake: ${name} is not a number (${value}); left out")
        continue()
    endif()
    math(EXPR number "${value}")
    string(APPEND lines "${name} ${number}\n")
endforeach()

# Rewritten only when it changes, so what depends on it is not made again for nothing.
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL lines)
    file(WRITE "${OUTPUT}" "${lines}")
endif()
