# What a Windows build takes from this machine rather than from the target's own packages, which
# Debian does not have: SQLite from its amalgamation (QUORVEX_SQLITE_SOURCE, a folder holding
# sqlite3.c and sqlite3.h; scripts/windows.sh makes one from Debian's source package), CLI11's
# headers, and GoogleTest built from Debian's source (QUORVEX_GTEST_SOURCE).
set(QUORVEX_SQLITE_SOURCE "" CACHE PATH "Folder with the SQLite amalgamation (sqlite3.c, sqlite3.h)")
set(QUORVEX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(QUORVEX_CLI11_HEADERS /usr/include/CLI CACHE PATH "CLI11's header folder")

if(NOT EXISTS ${QUORVEX_SQLITE_SOURCE}/sqlite3.c)
  message(FATAL_ERROR "QUORVEX_SQLITE_SOURCE must name a folder with sqlite3.c (scripts/windows.sh deps makes one)")
endif()
add_library(quorvex_sqlite STATIC ${QUORVEX_SQLITE_SOURCE}/sqlite3.c)
set_target_properties(quorvex_sqlite PROPERTIES LINKER_LANGUAGE C)
target_include_directories(quorvex_sqlite SYSTEM PUBLIC ${QUORVEX_SQLITE_SOURCE})
# Threads as the store uses them (one writer thread, readers elsewhere); nothing it does not use.
target_compile_definitions(quorvex_sqlite PRIVATE SQLITE_THREADSAFE=1 SQLITE_DQS=0
  SQLITE_OMIT_LOAD_EXTENSION SQLITE_DEFAULT_WAL_SYNCHRONOUS=1)
target_compile_options(quorvex_sqlite PRIVATE -O2 -w)
add_library(SQLite::SQLite3 ALIAS quorvex_sqlite)

# Only CLI11's own folder goes on the include path: the build machine's /usr/include holds its
# C library's headers, which must never meet the target's.
file(COPY ${QUORVEX_CLI11_HEADERS} DESTINATION ${CMAKE_BINARY_DIR}/third_party/include)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/third_party/include)

if(QUORVEX_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # Its own CMake files name the targets GTest::gtest and GTest::gtest_main.
  add_subdirectory(${QUORVEX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The manifest, for every program of the build.
function(quorvex_windows_program target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/packaging/windows/quorvex.rc)
endfunction()
