# Tests of the installer: the package format, the record and the sequences against fakes (host
# and Wine), and QOR_SETUP.exe end to end under Wine.
file(GLOB QOR_INSTALLER_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/unit/installer/*.cpp)
qor_gtest(qor_installer_unit_tests SOURCES ${QOR_INSTALLER_UNIT_SOURCES} LIBS qor_installer_logic)

if(NOT WIN32)
  # The packer as a program: usage, refusals, and the package it writes.
  target_compile_definitions(qor_installer_unit_tests PRIVATE QOR_TEST_PACK_TOOL="$<TARGET_FILE:qor_pack>")
  add_dependencies(qor_installer_unit_tests qor_pack)
endif()

if(WIN32)
  add_executable(qor_timeout_standin standins/timeout.cpp)
  target_link_options(qor_timeout_standin PRIVATE -municode)
  set_target_properties(qor_timeout_standin PROPERTIES OUTPUT_NAME timeout
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/standins/timeout)

  file(GLOB QOR_INSTALLER_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/e2e_installer/*.cpp)
  add_executable(qor_installer_e2e_tests ${QOR_INSTALLER_E2E_SOURCES})
  target_link_libraries(qor_installer_e2e_tests PRIVATE qor_uidriver qor_installer_logic qor_win32 gtest_main
                        ole32 oleaut32 uuid shell32 advapi32)
  target_include_directories(qor_installer_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(qor_installer_e2e_tests PRIVATE
    QOR_TEST_SETUP_EXE="$<TARGET_FILE:QOR_SETUP>"
    QOR_TEST_DEMO_APP_EXE="$<TARGET_FILE:qor_demo_app>"
    QOR_TEST_TIMEOUT_EXE="$<TARGET_FILE:qor_timeout_standin>"
    QOR_TEST_SLEEPER_EXE="$<TARGET_FILE:qor_sleeper>"
    QOR_TEST_PLANTED_EXE="$<TARGET_FILE:qor_planted_standin>"
    QOR_TEST_ICON="${PROJECT_SOURCE_DIR}/installer/demo/qor.ico"
    QOR_TEST_SMALL_DRIVE_SCRIPT="${PROJECT_SOURCE_DIR}/tests/wine/small_drive.sh")
  qor_use_real_extractor(qor_installer_e2e_tests)
  add_dependencies(qor_installer_e2e_tests QOR_SETUP qor_demo_app qor_timeout_standin qor_sleeper
                 qor_planted_standin)
  # The tests share the Uninstall key, the shortcuts and the desktop: one at a time.
  gtest_discover_tests(qor_installer_e2e_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 200 RESOURCE_LOCK qor_installer_machine
                                  ${QOR_WINE_TEST_PROPERTIES})
endif()

if(WIN32)
  # Authenticode: scripts/sign-release.sh on the programs and the packed installer, which then
  # still installs. Needs the host tools (qor_pack) of build/host, as scripts/build.sh makes them.
  add_test(NAME SignedRelease.ProgramsAndInstallerVerifyAndTheInstallerInstalls
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/sign_release_test.sh ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  set_tests_properties(SignedRelease.ProgramsAndInstallerVerifyAndTheInstallerInstalls PROPERTIES
                       TIMEOUT 200 SKIP_RETURN_CODE 77 RESOURCE_LOCK qor_installer_machine ${QOR_WINE_TEST_PROPERTIES})
endif()

if(WIN32)
  # The extraction benchmark's program (bench/extract_payload.sh).
  add_executable(qor_bench_extract ${PROJECT_SOURCE_DIR}/bench/extract_payload_main.cpp)
  target_link_options(qor_bench_extract PRIVATE -municode)
  target_link_libraries(qor_bench_extract PRIVATE qor_installer_logic qor_win32 psapi)
endif()
