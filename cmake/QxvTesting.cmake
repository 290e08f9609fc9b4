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

# qxv_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [ENV VAR=value ...] [PORTABLE_AES_TOO])
# PORTABLE_AES_TOO registers the program a second time, as name_portable_aes, with
# QXV_AES_PORTABLE=1, so that its tests cover the table-driven AES as well as the AES
# instructions that the processor would otherwise select.
function(qxv_add_test)
    cmake_parse_arguments(T "PORTABLE_AES_TOO" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${QXV_GTEST_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        QXV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QXV_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(T_ENV)
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
    endif()
    if(T_PORTABLE_AES_TOO)
        set(portable_env ${T_ENV})
        list(APPEND portable_env QXV_AES_PORTABLE=1)
        add_test(NAME ${T_NAME}_portable_aes COMMAND ${T_NAME})
        set_tests_properties(${T_NAME}_portable_aes PROPERTIES ENVIRONMENT "${portable_env}")
    endif()
endfunction()
