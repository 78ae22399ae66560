# Tests of the hardware information library qord.dll.

# The classes' logic against scripted drives: natively on the host, under Wine for win64.
qor_gtest(hwinfo_unit_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/hwinfo/pcinf1_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/hwinfo/pcinf2_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/hwinfo/pcinf3_test.cpp
  LIBS qor_hwinfo_logic)
