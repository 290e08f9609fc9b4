# Test helpers. Each test folder builds one GoogleTest program; ctest runs it whole (under
# Wine in the Windows build, through CMAKE_CROSSCOMPILING_EMULATOR).
enable_testing()

if(WIN32)
    if(NOT TARGET gtest)
        set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
    set(QXV_GTEST_LIBS gtest gtest_main gmock)
else()
    find_package(GTest REQUIRED)
    set(QXV_GTEST_LIBS GTest::gtest GTest::gtest_main GTest::gmock)
endif()

# qxv_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [ENV VAR=value ...])
function(qxv_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${QXV_GTEST_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        QXV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QXV_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(T_ENV)
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
    endif()
endfunction()
