# Every folder is a static library whose sources are the .cpp/.h files beside its CMakeLists.txt;
# its GoogleTest executable is built from tests/*.cpp when that folder holds any.
#
# Layers are kept by the build, not by good intentions:
# - Other libraries see only a library's public headers: each header not named *_p.h is linked
#   into ${KV6_INCLUDE_DIR}/<folder>/, the one include root every target gets. Private headers are
#   included without a folder ("renderer_p.h") by the library's own files and tests.
# - A library may link only libraries defined before it (the folders are added bottom-up), so an
#   arrow pointing back up fails at configure time.
# - A library may include only headers of itself and of what it links, directly or not.
set(KV6_INCLUDE_DIR ${CMAKE_BINARY_DIR}/include)
file(MAKE_DIRECTORY ${KV6_INCLUDE_DIR})

# Folder name under the include root -> library target, filled as libraries are defined.
set_property(GLOBAL PROPERTY KV6_FOLDER_TARGETS "")

function(kv6_link_closure target out)
  set(seen "")
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo t)
    if(NOT TARGET ${t} OR t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(deps ${t} INTERFACE_LINK_LIBRARIES)
    if(deps)
      list(APPEND todo ${deps})
    endif()
    # An executable's own links are not in its interface.
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      get_target_property(deps ${t} LINK_LIBRARIES)
      if(deps)
        list(APPEND todo ${deps})
      endif()
    endif()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configuration when one of the files includes a header of a library outside `allowed`.
function(kv6_check_includes who allowed)
  get_property(map GLOBAL PROPERTY KV6_FOLDER_TARGETS)
  foreach(f ${ARGN})
    file(STRINGS ${f} lines REGEX "^#include \"[a-z0-9_]+/")
    foreach(line ${lines})
      string(REGEX MATCH "\"([a-z0-9_]+)/([^\"]+)\"" _ "${line}")
      set(folder ${CMAKE_MATCH_1})
      set(header ${CMAKE_MATCH_2})
      list(FIND map "${folder}" i)
      if(i EQUAL -1)
        continue()
      endif()
      math(EXPR i "${i} + 1")
      list(GET map ${i} lib)
      if(header MATCHES "_p\\.h$")
        message(FATAL_ERROR "${f}: includes the private header ${folder}/${header}")
      endif()
      if(NOT lib IN_LIST allowed)
        message(FATAL_ERROR "${f}: ${who} includes ${folder}/${header} of ${lib}, which it does not "
                            "link; a library includes only libraries below it")
      endif()
    endforeach()
  endforeach()
endfunction()

# The include checks run once every library is known, so that a header of a library defined later
# (an arrow pointing up) is recognised too.
function(kv6_check_all_includes)
  get_property(targets GLOBAL PROPERTY KV6_CHECKED_TARGETS)
  foreach(t ${targets})
    kv6_link_closure(${t} allowed)
    get_target_property(srcs ${t} KV6_CHECKED_SOURCES)
    kv6_check_includes(${t} "${allowed}" ${srcs})
  endforeach()
endfunction()

function(kv6_defer_include_checks)
  get_property(done GLOBAL PROPERTY KV6_INCLUDE_CHECKS_DEFERRED)
  if(NOT done)
    set_property(GLOBAL PROPERTY KV6_INCLUDE_CHECKS_DEFERRED ON)
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kv6_check_all_includes)
  endif()
endfunction()

function(kv6_library name)
  cmake_parse_arguments(A "" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  foreach(dep ${A_DEPS})
    if(dep MATCHES "^kv6" AND NOT TARGET ${dep})
      message(FATAL_ERROR "${name} links ${dep}, which is not below it: a library may only link "
                          "libraries defined before it")
    endif()
  endforeach()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${KV6_INCLUDE_DIR})
  # Every text is Unicode by intent: a byte string becomes a QString only through a named
  # conversion (QStringLiteral, QLatin1String, fromUtf8). Tests are left free of this.
  target_compile_definitions(${name} PRIVATE QT_NO_CAST_FROM_ASCII)
  target_link_libraries(${name} PUBLIC ${A_DEPS})

  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(MAKE_DIRECTORY ${KV6_INCLUDE_DIR}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(h ${headers})
    get_filename_component(hn ${h} NAME)
    if(NOT hn MATCHES "_p\\.h$")
      file(CREATE_LINK ${h} ${KV6_INCLUDE_DIR}/${folder}/${hn} SYMBOLIC)
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY KV6_FOLDER_TARGETS ${folder} ${name})

  set_property(GLOBAL APPEND PROPERTY KV6_CHECKED_TARGETS ${name})
  set_property(TARGET ${name} PROPERTY KV6_CHECKED_SOURCES ${srcs})
  kv6_defer_include_checks()
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
  # A library's tests may reach its private headers.
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
  target_compile_definitions(${name} PRIVATE QT_NO_CAST_FROM_ASCII)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KV6_STAGE}/${dest})
  install(TARGETS ${name} RUNTIME DESTINATION ${dest})
  set(allowed "")
  foreach(dep ${A_DEPS})
    kv6_link_closure(${dep} c)
    list(APPEND allowed ${c})
  endforeach()
  list(TRANSFORM A_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  set_property(GLOBAL APPEND PROPERTY KV6_CHECKED_TARGETS ${name})
  set_property(TARGET ${name} PROPERTY KV6_CHECKED_SOURCES ${A_SOURCES})
  kv6_defer_include_checks()
endfunction()
