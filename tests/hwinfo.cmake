# Tests of the hardware information library qord.dll.

# The classes' logic against scripted drives: natively on the host, under Wine for win64.
qor_gtest(hwinfo_unit_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/hwinfo/pcinf1_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/hwinfo/pcinf2_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/hwinfo/pcinf3_test.cpp
  LIBS qor_hwinfo_logic)

if(WIN32)
  # Stand-in for DiskID32.dll, built into its own folder (see there).
  add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/standins/diskid32
                   ${CMAKE_CURRENT_BINARY_DIR}/standins/diskid32)

  # A late-bound client of the real qord.dll. Each test registers the DLL with regsvr32 in the
  # Wine prefix of the run, and one removes the registration again, so the tests share a lock
  # and never run at the same time.
  add_executable(hwinfo_client_tests ${CMAKE_CURRENT_SOURCE_DIR}/wine/hwinfo/qord_client_test.cpp)
  target_link_libraries(hwinfo_client_tests PRIVATE gtest_main qor_win32 ole32 oleaut32 uuid advapi32)
  target_include_directories(hwinfo_client_tests PRIVATE ${PROJECT_BINARY_DIR}/hwinfo/generated ${PROJECT_SOURCE_DIR})
  target_sources(hwinfo_client_tests PRIVATE
                 ${PROJECT_BINARY_DIR}/hwinfo/generated/hwinfo/qord_interfaces_i.c)
  # qord.dll with the stand-in DiskID32.dll beside it, as the application's SYS folder holds
  # them; the built qord.dll has no DiskID32.dll beside it.
  set(_qord_beside ${CMAKE_CURRENT_BINARY_DIR}/qord_beside)
  add_custom_command(
    OUTPUT ${_qord_beside}/qord.dll ${_qord_beside}/DiskID32.dll
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_qord_beside}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:qord> $<TARGET_FILE:diskid32_standin>
            ${_qord_beside}
    DEPENDS qord diskid32_standin
    COMMENT "Placing qord.dll beside the stand-in DiskID32.dll"
    VERBATIM)
  add_custom_target(hwinfo_qord_beside DEPENDS ${_qord_beside}/qord.dll ${_qord_beside}/DiskID32.dll)
  target_compile_definitions(hwinfo_client_tests PRIVATE
    QORD_DLL_UNIX="$<TARGET_FILE:qord>"
    QORD_BESIDE_DIR_UNIX="${_qord_beside}"
    DISKID32_DIR_UNIX="$<TARGET_FILE_DIR:diskid32_standin>")
  add_dependencies(hwinfo_client_tests qord diskid32_standin hwinfo_qord_beside)
  gtest_discover_tests(hwinfo_client_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 RESOURCE_LOCK qord_registration
                                  ${QOR_WINE_TEST_PROPERTIES})
endif()
