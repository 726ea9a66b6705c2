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
include(GoogleTest)

# quillora_test(NAME [DEPS lib...] [LABELS ...] [TIMEOUT seconds] [LONG_RUN_TIMEOUT seconds] [COST n]
#               [LOCK resource])
# One GoogleTest program from every .cpp of the calling folder. Each of its cases is a CTest test
# of its own, NAME.Suite.Case (listed from the program once it is built), so that `ctest -j`
# spreads a long program over the machine and a failure names its case. TIMEOUT is per case (300 s
# unless given); cases named LongRun... have LONG_RUN_TIMEOUT instead when it is given. COST starts
# a program's cases ahead of the others in a run that has no timings of its own yet (a fresh
# build); later runs order them by what they took. LOCK runs the program's cases one at a time
# (beside other programs' cases), for what they share, such as the machine's virtual displays under
# load. SERIAL names a suite whose cases run with nothing beside them (what they measure is the
# machine's to give).
function(quillora_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;LONG_RUN_TIMEOUT;COST;LOCK;SERIAL" "DEPS;LABELS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${_srcs})
  # Every test also checks that whatever it set going used fonts under the font lock only.
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quillora_testsupport quillora_fontwatch GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(NOT ARG_LONG_RUN_TIMEOUT)
    set(ARG_LONG_RUN_TIMEOUT ${ARG_TIMEOUT})
  endif()
  gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 120)
  # GLib's slice allocator hands a block freed on one thread to the next without a lock that the
  # sanitizers see; plain malloc keeps their view of who owns what true.
  set(_env "QUILLORA_BUNDLE=${CMAKE_SOURCE_DIR}/resources;QUILLORA_SOURCE=${CMAKE_SOURCE_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp;TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1;G_SLICE=always-malloc")
  set(_labels ${name} ${ARG_LABELS})
  set(_properties "TIMEOUT \${_timeout} ENVIRONMENT \"${_env}\" LABELS \"${_labels}\"")
  if(ARG_COST)
    string(APPEND _properties " COST ${ARG_COST}")
  endif()
  if(ARG_LOCK)
    string(APPEND _properties " RESOURCE_LOCK ${ARG_LOCK}")
  endif()
  set(_serial "")
  if(ARG_SERIAL)
    set(_serial "  if(_case MATCHES \"\\\\.${ARG_SERIAL}\\\\.\")\n    set_tests_properties(\"\${_case}\" PROPERTIES RUN_SERIAL TRUE)\n  endif()\n")
  endif()
  # The cases are known only once the program lists them, after the file that registers them is
  # read: their properties are set by a file read after it. (The discovery's own PROPERTIES would
  # split the environment's list into separate words.)
  set(_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
  # QUILLORA_TEST_TIMEOUT in ctest's environment replaces the case's limit (`make fuzz` runs for
  # hours); ctest's own --timeout would not, as it only stands in where a test has none.
  file(WRITE ${_file} "foreach(_case IN LISTS ${name}_TESTS)\n  set(_timeout ${ARG_TIMEOUT})\n  if(_case MATCHES \"\\\\.LongRun\")\n    set(_timeout ${ARG_LONG_RUN_TIMEOUT})\n  endif()\n  if(DEFINED ENV{QUILLORA_TEST_TIMEOUT})\n    set(_timeout \$ENV{QUILLORA_TEST_TIMEOUT})\n  endif()\n  set_tests_properties(\"\${_case}\" PROPERTIES ${_properties})\n${_serial}endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_file})
endfunction()
