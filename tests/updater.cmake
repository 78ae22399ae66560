# Windows-only tests of the updater: the real WinINet downloader against the update-server
# stand-in, and QOR_UPDATE.exe with QOR.exe through a whole update cycle.

file(GLOB QOR_UPDATER_WINE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/wine/updater/*.cpp)
qor_gtest(qor_updater_wine_tests SOURCES ${QOR_UPDATER_WINE_SOURCES} LIBS qor_updater_logic qor_win32)
target_compile_definitions(qor_updater_wine_tests PRIVATE
  QOR_TEST_HTTP_SERVER_EXE="$<TARGET_FILE:qor_http_standin>")
add_dependencies(qor_updater_wine_tests qor_http_standin)

file(GLOB QOR_UPDATER_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/e2e/updater/*.cpp)
if(QOR_UPDATER_E2E_SOURCES)
  qor_gtest(qor_updater_e2e_tests SOURCES ${QOR_UPDATER_E2E_SOURCES}
            LIBS qor_uidriver qor_launcher_logic qor_core qor_win32)
  target_compile_definitions(qor_updater_e2e_tests PRIVATE
    QOR_TEST_HTTP_SERVER_EXE="$<TARGET_FILE:qor_http_standin>"
    QOR_TEST_UPDATER_EXE="$<TARGET_FILE:QOR_UPDATE>"
    QOR_TEST_SIGNED_UPDATER_EXE="$<TARGET_FILE:qor_signed_updater>"
    QOR_TEST_LAUNCHER_EXE="$<TARGET_FILE:QOR>"
    QOR_TEST_EXCEL_STANDIN_EXE="$<TARGET_FILE:qor_excel_standin>"
    QOR_TEST_PROBE_HOST="${QOR_PROBE_HOST}"
    QOR_TEST_NGINX_SCRIPT="${PROJECT_SOURCE_DIR}/tests/wine/nginx.sh"
    QOR_TEST_SMALL_DRIVE_SCRIPT="${PROJECT_SOURCE_DIR}/tests/wine/small_drive.sh")
  target_link_libraries(qor_updater_e2e_tests PRIVATE bcrypt)
  qor_use_real_extractor(qor_updater_e2e_tests)
  add_dependencies(qor_updater_e2e_tests qor_http_standin QOR_UPDATE qor_signed_updater QOR qor_excel_standin)
endif()

# Benchmark helper for bench/download_throughput.sh: DownloadFile with the real session and a
# shown updater window.
add_executable(qor_download_bench ${PROJECT_SOURCE_DIR}/bench/download_bench.cpp
               ${PROJECT_SOURCE_DIR}/updater/forms/update_form.cpp)
target_link_options(qor_download_bench PRIVATE -municode -mwindows)
target_link_libraries(qor_download_bench PRIVATE qor_updater_logic qor_win32 gdi32 user32)
