# Windows-only tests of the launcher: the real adapters against the real system (files, WMI,
# version resources), and QOR.exe itself driven as a person would.

# Adapters of platform/win32 against the real system.
file(GLOB QOR_WINE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/wine/*.cpp)
if(QOR_WINE_SOURCES)
  qor_gtest(qor_wine_tests SOURCES ${QOR_WINE_SOURCES} ${PROJECT_SOURCE_DIR}/launcher/forms/form_kit.cpp
            LIBS qor_launcher_logic qor_installer_logic qor_win32 comctl32 gdi32 user32)
  target_compile_definitions(qor_wine_tests PRIVATE
    QOR_TEST_SLEEPER_EXE="$<TARGET_FILE:qor_sleeper>"
    QOR_TEST_LAUNCHER_EXE="$<TARGET_FILE:QOR>")
  add_dependencies(qor_wine_tests qor_sleeper QOR)
endif()

# QOR.exe end to end, its dialogs answered through the UI driver.
file(GLOB QOR_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/e2e/*.cpp)
qor_gtest(qor_e2e_tests SOURCES ${QOR_E2E_SOURCES} LIBS qor_uidriver qor_launcher_logic qor_core qor_win32)
target_compile_definitions(qor_e2e_tests PRIVATE
  QOR_TEST_LAUNCHER_EXE="$<TARGET_FILE:QOR>"
  QOR_TEST_SLEEPER_EXE="$<TARGET_FILE:qor_sleeper>"
  QOR_TEST_EXCEL_STANDIN_EXE="$<TARGET_FILE:qor_excel_standin>"
  QOR_TEST_PLANTED_EXE="$<TARGET_FILE:qor_planted_standin>")
add_dependencies(qor_e2e_tests QOR qor_sleeper qor_excel_standin qor_planted_standin)
