# The vendor's release tools as programs (build machine only).
qor_gtest(qor_release_tool_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tools/release_tools_test.cpp LIBS qor_core)
target_compile_definitions(qor_release_tool_tests PRIVATE
  QOR_TEST_SIGN_TOOL="$<TARGET_FILE:qor_sign>" QOR_TEST_PUBLISH_TOOL="$<TARGET_FILE:qor_publish>")
add_dependencies(qor_release_tool_tests qor_sign qor_publish)
