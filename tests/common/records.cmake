# Included from tests/common/CMakeLists.txt.
davu_add_test(NAME common_records_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/records_test.cpp LIBS davu_common)
