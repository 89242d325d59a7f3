# The tests of the Windows build, run under Wine by ctest: the Linux build's layer tests (declared
# in tests/CMakeLists.txt, but for quorvex_posix_only_tests) and those below. The network is the
# stand-in service running natively on loopback (QUORVEX_STAND_IN, the Linux build's
# stand_in_share_service), which windows/with_stand_in.sh starts around each run; a ShareService
# in a test is one of its services (support/remote_share_service.cpp).
set(QUORVEX_STAND_IN "" CACHE FILEPATH "The Linux build's stand_in_share_service, for the tests")
if(NOT QUORVEX_STAND_IN)
  message(FATAL_ERROR "QUORVEX_STAND_IN must name the Linux build's stand_in_share_service")
endif()

# The stand-in service's pages, and each ShareService one of the native stand-in's.
add_library(quorvex_test_support STATIC support/share_pages.cpp support/remote_share_service.cpp)
target_link_libraries(quorvex_test_support PUBLIC quorvex_base ws2_32)
target_include_directories(quorvex_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

# The request object alone against the stand-in: header order as received, certificates,
# time-outs, cancel, the body cap.
add_executable(quorvex_windows_net_tests windows/winhttp_request_test.cpp)
target_link_libraries(quorvex_windows_net_tests PRIVATE quorvex_session GTest::gtest_main)
target_include_directories(quorvex_windows_net_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
quorvex_windows_program(quorvex_windows_net_tests)
add_test(NAME quorvex_windows_net_tests
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/with_stand_in.sh ${QUORVEX_STAND_IN}
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quorvex_windows_net_tests>)
set_tests_properties(quorvex_windows_net_tests PROPERTIES LABELS net TIMEOUT 300)
add_test(NAME quorvex_cli_exe_check
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli_check.sh ${QUORVEX_STAND_IN}
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quorvex-cli>)
set_tests_properties(quorvex_cli_exe_check PROPERTIES LABELS cli TIMEOUT 300)

# The Win32 window, made and driven under Wine (with its null display: scripts/windows.sh).
add_executable(quorvex_win32_tests win32/main_frame_test.cpp
  ${PROJECT_SOURCE_DIR}/packaging/windows/quorvex-window.rc)
target_link_libraries(quorvex_win32_tests PRIVATE quorvex_win32 quorvex_test_support GTest::gtest_main)
target_include_directories(quorvex_win32_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_test(NAME quorvex_win32_tests
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/with_stand_in.sh ${QUORVEX_STAND_IN}
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quorvex_win32_tests>)
set_tests_properties(quorvex_win32_tests PROPERTIES LABELS win32 TIMEOUT 600)
# The program itself answers without making a window.
add_test(NAME quorvex_exe_version COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quorvex> --version)
set_tests_properties(quorvex_exe_version PROPERTIES LABELS win32
  PASS_REGULAR_EXPRESSION "^quorvex ${PROJECT_VERSION}\r?\n$")
