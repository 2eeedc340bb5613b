# One static library per source folder: sources are every .cpp under src/,
# public headers live under include/<name>/.
function(kestrova_library name dir)
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS ${dir}/src/*.cpp)
  if(NOT _sources)
    set(_sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${dir}/include PRIVATE ${dir}/src)
  kestrova_warnings(${name})
endfunction()

function(kestrova_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# A test executable from every .cpp in a folder of tests/, registered with CTest
# under the given label (core runs without a display, gui under Xvfb).
function(kestrova_tests name dir label)
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _sources)
    return()
  endif()
  add_executable(${name} ${_sources})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARGN} kestrova_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  kestrova_warnings(${name})
  # Any BitTorrent engine a test starts listens on 127.0.0.1 only.
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} TIMEOUT 300
    ENVIRONMENT "KESTROVA_PROGRAM_DIR=${KESTROVA_PROGRAM_DIR};KESTROVA_SOURCE_DIR=${CMAKE_SOURCE_DIR};VESSIMAR_LISTEN_ADDRESS=127.0.0.1")
endfunction()
