# Third-party libraries, all installed from Debian's packages, never vendored.

# --- nlohmann json -----------------------------------------------------------
# Debian's exported target points at /usr/include, which must never reach the
# MinGW include path (glibc headers would leak in). Stage only the nlohmann
# folder in the build tree and point the target there.
find_package(nlohmann_json 3 REQUIRED CONFIG
             PATHS /usr/share/cmake/nlohmann_json NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
set(VANTORA_STAGED_INCLUDE ${CMAKE_BINARY_DIR}/staged-include)
file(COPY /usr/include/nlohmann DESTINATION ${VANTORA_STAGED_INCLUDE})
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${VANTORA_STAGED_INCLUDE})

# --- zlib (static) -------------------------------------------------------------
# Import the static archive by its full path: find_library would prefer the
# import library and make the programs depend on zlib1.dll.
set(VANTORA_ZLIB_ROOT /usr/${MINGW_TRIPLE})
if(NOT EXISTS ${VANTORA_ZLIB_ROOT}/lib/libz.a)
    message(FATAL_ERROR "libz.a for ${MINGW_TRIPLE} is missing; install libz-mingw-w64-dev")
endif()
add_library(vantora_zlib STATIC IMPORTED)
set_target_properties(vantora_zlib PROPERTIES
                      IMPORTED_LOCATION ${VANTORA_ZLIB_ROOT}/lib/libz.a
                      INTERFACE_INCLUDE_DIRECTORIES ${VANTORA_ZLIB_ROOT}/include)

# --- minizip (zlib's contrib/minizip, from Debian's zlib source package) -------
# The launcher reads archives with unzip.c; the publisher writes them with zip.c.
set(VANTORA_ZLIB_SOURCE ${CMAKE_SOURCE_DIR}/.deps/zlib CACHE PATH
    "Unpacked zlib source package (holds contrib/minizip)")
if(NOT EXISTS ${VANTORA_ZLIB_SOURCE}/contrib/minizip/unzip.c)
    message(STATUS "Fetching zlib's source package for minizip")
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-debian-source.sh zlib
                            ${VANTORA_ZLIB_SOURCE} contrib/minizip/unzip.c
                    RESULT_VARIABLE fetch_result)
    if(NOT fetch_result EQUAL 0)
        message(FATAL_ERROR "Could not fetch zlib's source package (minizip)")
    endif()
endif()
set(VANTORA_MINIZIP_DIR ${VANTORA_ZLIB_SOURCE}/contrib/minizip)
add_library(vantora_minizip STATIC
            ${VANTORA_MINIZIP_DIR}/unzip.c
            ${VANTORA_MINIZIP_DIR}/zip.c
            ${VANTORA_MINIZIP_DIR}/ioapi.c
            ${VANTORA_MINIZIP_DIR}/iowin32.c)
target_include_directories(vantora_minizip SYSTEM PUBLIC ${VANTORA_MINIZIP_DIR})
target_link_libraries(vantora_minizip PUBLIC vantora_zlib)
target_compile_options(vantora_minizip PRIVATE -w)

# --- zstd (from Debian's libzstd source package) --------------------------------
# The launcher applies binary differences with zstd's decoder; the publisher
# makes them with its encoder (several threads for large files). The x86-64
# assembly is for the System V calling convention only, so it stays out.
set(VANTORA_ZSTD_SOURCE ${CMAKE_SOURCE_DIR}/.deps/zstd CACHE PATH
    "Unpacked libzstd source package")
if(NOT EXISTS ${VANTORA_ZSTD_SOURCE}/lib/zstd.h)
    message(STATUS "Fetching libzstd's source package")
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-debian-source.sh libzstd
                            ${VANTORA_ZSTD_SOURCE} lib/zstd.h
                    RESULT_VARIABLE fetch_result)
    if(NOT fetch_result EQUAL 0)
        message(FATAL_ERROR "Could not fetch libzstd's source package")
    endif()
endif()
file(GLOB vantora_zstd_sources
     ${VANTORA_ZSTD_SOURCE}/lib/common/*.c
     ${VANTORA_ZSTD_SOURCE}/lib/compress/*.c
     ${VANTORA_ZSTD_SOURCE}/lib/decompress/*.c)
add_library(vantora_zstd STATIC ${vantora_zstd_sources})
target_include_directories(vantora_zstd SYSTEM PUBLIC ${VANTORA_ZSTD_SOURCE}/lib)
target_compile_definitions(vantora_zstd PRIVATE ZSTD_DISABLE_ASM ZSTD_MULTITHREAD
                                                XXH_NAMESPACE=ZSTD_)
target_compile_options(vantora_zstd PRIVATE -w)

# --- GoogleTest / GoogleMock (Debian's sources, built for the target) -----------
if(VANTORA_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
