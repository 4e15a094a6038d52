# Build settings shared by every target of the project (not by GoogleTest).

function(orv_project_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
endfunction()

# Native core build: clang with AddressSanitizer and UndefinedBehaviorSanitizer on
# everything, and libFuzzer's coverage so that the fuzzers can steer.
macro(orv_native_flags)
    set(ORV_SANITIZE "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        string(APPEND ORV_SANITIZE " -fsanitize=fuzzer-no-link")
    endif()
    # At -O0 the sanitized parsers run six times slower, and the fuzzers' runs are what
    # this build is for.
    string(APPEND CMAKE_C_FLAGS " ${ORV_SANITIZE} -g -O1")
    string(APPEND CMAKE_CXX_FLAGS " ${ORV_SANITIZE} -g -O1")
    string(APPEND CMAKE_EXE_LINKER_FLAGS " -fsanitize=address,undefined")
endmacro()

# Windows build: one orvenna.exe and one qemcom95.dll, nothing else to ship, so
# the C and C++ runtimes and winpthread are linked in statically.
macro(orv_windows_flags)
    add_compile_definitions(NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    string(APPEND CMAKE_EXE_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
    string(APPEND CMAKE_SHARED_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
endmacro()

# The version record of a shipped binary: company, product and the project's version
# (project() in the top CMakeLists.txt, the one place that holds it), with the binary's
# own description and file name.
function(orv_version_resource target description)
    get_target_property(type ${target} TYPE)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(type STREQUAL "SHARED_LIBRARY")
        set(ORV_FILE_TYPE VFT_DLL)
        set(ORV_FILE_NAME ${name}.dll)
    else()
        set(ORV_FILE_TYPE VFT_APP)
        set(ORV_FILE_NAME ${name}.exe)
    endif()
    set(ORV_INTERNAL_NAME ${name})
    set(ORV_FILE_DESCRIPTION "${description}")
    set(ORV_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, 0, 0")
    set(record ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version_info.rc.in ${record} @ONLY)
    target_sources(${target} PRIVATE ${record})
endfunction()
