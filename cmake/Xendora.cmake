# Helpers shared by every folder's CMakeLists.txt.

# xendora_gtest(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value>...])
# A GoogleTest executable whose cases CTest runs one by one (discovered at test time,
# so a sanitized build does not run every binary while building).
function(xendora_gtest name)
  if(NOT XENDORA_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "${XENDORA_TEST_ENV};${T_ENV}")
endfunction()

# xendora_qtest(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value>...])
# A Qt Test executable; widget tests run on the offscreen platform.
function(xendora_qtest name)
  if(NOT XENDORA_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests AUTOMOC ON)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${XENDORA_TEST_ENV};${T_ENV}")
endfunction()

# The environment every test starts from: the build tree's component registry.
set(XENDORA_REGISTRY_FILE ${XENDORA_BIN_DIR}/xcom.reg)
set(XENDORA_TEST_ENV "XCOM_REGISTRY=${XENDORA_REGISTRY_FILE}")

# xendora_fuzz(<name> SOURCES <files...> LIBS <targets...>)
# A libFuzzer target, built when XENDORA_FUZZ instruments the tree (clang). Its saved corpus
# lives in the folder's tests/ and runs as a test in every build. To fuzz:
#   CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DXENDORA_FUZZ=ON -DXENDORA_SANITIZE=ON
#   build-fuzz/fuzz/<name> -max_len=32768 <new corpus dir> <saved corpus dir>
function(xendora_fuzz name)
  if(NOT XENDORA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
