# GoogleTest built as part of this build from its sources (Debian's googletest package puts them in
# /usr/src/googletest), for targets such as a cross build where no compiled GoogleTest exists.
# Offers the same targets as find_package(GTest).

if(NOT EXISTS "${QUORRAL_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "QUORRAL_GTEST_SOURCE_DIR=${QUORRAL_GTEST_SOURCE_DIR} holds no GoogleTest sources")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
# SYSTEM: our warnings (and -Werror in CI) are for our code, not for GoogleTest's headers.
add_subdirectory("${QUORRAL_GTEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)

# Recent GoogleTest releases name their targets GTest::... themselves; older ones do not.
foreach(target gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()
