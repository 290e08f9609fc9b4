# Test helpers. Each test folder builds one GoogleTest program; ctest runs it whole, or test by
# test for the long sweeps (under Wine in the Windows build, through CMAKE_CROSSCOMPILING_EMULATOR).
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

include(GoogleTest)

# qxv_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [ENV VAR=value ...] [PORTABLE_AES_TOO]
#              [EACH_TEST])
# PORTABLE_AES_TOO registers the program a second time, as name_portable_aes, with
# QXV_AES_PORTABLE=1, so that its tests cover the table-driven AES as well as the AES
# instructions that the processor would otherwise select.
# EACH_TEST registers every TEST of the sources as a ctest of its own (name.Suite.Test),
# labelled "sweep": a program of a few long sweeps then spreads over the cores under ctest -j.
function(qxv_add_test)
    cmake_parse_arguments(T "PORTABLE_AES_TOO;EACH_TEST" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${QXV_GTEST_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        QXV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QXV_BINARY_DIR="${CMAKE_BINARY_DIR}")
    if(T_EACH_TEST)
        gtest_add_tests(TARGET ${T_NAME} SOURCES ${T_SOURCES} TEST_PREFIX "${T_NAME}."
                        TEST_LIST each)
        # A high cost makes ctest start them first, beside the short programs.
        set_tests_properties(${each} PROPERTIES LABELS sweep COST 1000)
        if(T_ENV)
            set_tests_properties(${each} PROPERTIES ENVIRONMENT "${T_ENV}")
        endif()
    else()
        add_test(NAME ${T_NAME} COMMAND ${T_NAME})
        if(T_ENV)
            set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
        endif()
    endif()
    if(T_PORTABLE_AES_TOO)
        set(portable_env ${T_ENV})
        list(APPEND portable_env QXV_AES_PORTABLE=1)
        add_test(NAME ${T_NAME}_portable_aes COMMAND ${T_NAME})
        set_tests_properties(${T_NAME}_portable_aes PROPERTIES ENVIRONMENT "${portable_env}")
    endif()
endfunction()
