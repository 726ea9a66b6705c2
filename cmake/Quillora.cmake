# Helpers shared by every folder's CMakeLists.txt.

# quillora_library(NAME [DEPS lib...] [PKG pkg-config-module...] [SOURCES extra...])
# Builds a static library from every .cpp of the calling folder. Headers are included from the
# repository root: #include "platform/foundation/RunLoop.h".
function(quillora_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PKG;SOURCES" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${_srcs} ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  foreach(_pkg IN LISTS ARG_PKG)
    string(MAKE_C_IDENTIFIER "${_pkg}" _id)
    if(NOT TARGET PkgConfig::${_id})
      pkg_check_modules(${_id} REQUIRED IMPORTED_TARGET GLOBAL ${_pkg})
    endif()
    target_link_libraries(${name} PUBLIC PkgConfig::${_id})
  endforeach()
endfunction()

find_package(GTest REQUIRED)

# quillora_test(NAME [DEPS lib...] [LABELS ...])
# One GoogleTest program from every .cpp of the calling folder, registered with CTest.
function(quillora_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS;LABELS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quillora_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(_env "QUILLORA_BUNDLE=${CMAKE_SOURCE_DIR}/resources;QUILLORA_SOURCE=${CMAKE_SOURCE_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp;TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
  if(QUILLORA_TSAN)
    # GLib's slice allocator hands memory between threads under locks ThreadSanitizer cannot see:
    # pango's glyph strings, read by our own code, would look raced. Through malloc it sees them.
    list(APPEND _env "G_SLICE=always-malloc")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${_env}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
