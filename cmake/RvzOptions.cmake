# Compiler settings shared by every target, and the helpers that declare
# tests, fuzz targets and benchmarks in one way.

add_compile_options(-Wall -Wextra)
if(RVZ_WERROR)
  add_compile_options(-Werror)
endif()

if(RVZ_SANITIZE)
  string(REPLACE ";" "," _rvz_san "${RVZ_SANITIZE}")
  add_compile_options(-fsanitize=${_rvz_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_rvz_san})
endif()

if(RVZ_FUZZ)
  # Every object file carries coverage; only the fuzz executables get the
  # libFuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# rvz_add_test(NAME SOURCES... LIBS ...): a GoogleTest executable registered with CTest.
function(rvz_add_test name)
  if(NOT RVZ_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "RVZ_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# rvz_add_fuzzer(NAME SOURCES... LIBS ...): a libFuzzer target, built only with RVZ_FUZZ.
# Its seed corpus lives in tests/corpus/NAME.
function(rvz_add_fuzzer name)
  if(NOT RVZ_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY RVZ_FUZZERS ${name})
endfunction()
