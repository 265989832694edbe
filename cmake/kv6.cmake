# Every folder is a static library whose sources are the .cpp/.h files beside its CMakeLists.txt;
# its GoogleTest executable is built from tests/*.cpp when that folder holds any.
set(KV6_INCLUDE_ROOTS ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/components)

function(kv6_library name)
  cmake_parse_arguments(A "" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${KV6_INCLUDE_ROOTS})
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  kv6_tests(${name} DEPS ${A_TEST_DEPS})
endfunction()

function(kv6_tests name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  if(NOT KV6_BUILD_TESTS)
    return()
  endif()
  file(GLOB tsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.h ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.qrc)
  if(NOT tsrcs)
    return()
  endif()
  add_executable(${name}_tests ${tsrcs})
  target_link_libraries(${name}_tests PRIVATE ${name} ${A_DEPS} kv6testsupport)
  # A library's tests may include its private headers ("renderer_p.h").
  target_include_directories(${name}_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${name}_tests PRIVATE
    KV6_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KV6_STAGE_DIR="${KV6_STAGE}"
    KV6_TESTDATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")
  gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

# A program placed in the staged layout (and installed to the same place under the prefix).
function(kv6_executable name dest)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KV6_STAGE}/${dest})
  install(TARGETS ${name} RUNTIME DESTINATION ${dest})
endfunction()
