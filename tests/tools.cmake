# The vendor's release tools as programs (build machine only).
qor_gtest(qor_release_tool_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tools/release_tools_test.cpp LIBS qor_core)
target_compile_definitions(qor_release_tool_tests PRIVATE
  QOR_TEST_SIGN_TOOL="$<TARGET_FILE:qor_sign>" QOR_TEST_PUBLISH_TOOL="$<TARGET_FILE:qor_publish>")
add_dependencies(qor_release_tool_tests qor_sign qor_publish)

# The shipping preset's configure refuses to go on without a P-256 update key (a cross configure
# of its own, in the build tree; skipped where the i686 compiler is missing).
add_test(NAME ReleaseBuild.ShippingConfigureNeedsAP256UpdateKey
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tools/update_key_configure_test.sh ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
set_tests_properties(ReleaseBuild.ShippingConfigureNeedsAP256UpdateKey PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
