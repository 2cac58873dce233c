# One static library per folder of src/. Sources are picked up from the folder, so adding a
# file needs no edit here; the dependency direction is spelled out in each folder's CMakeLists.
function(trawl_module name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(sources)
        add_library(trawl_${name} STATIC ${sources})
        target_link_libraries(trawl_${name} PUBLIC trawl_common_cfg ${ARG_DEPS})
    else()
        add_library(trawl_${name} INTERFACE)
        target_link_libraries(trawl_${name} INTERFACE trawl_common_cfg ${ARG_DEPS})
    endif()
endfunction()

# One test executable per module: every *.cpp of tests/<kind>/<module>/ plus the shared test main.
function(trawl_test_suite kind module)
    cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS;LABELS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${module}/*.cpp)
    if(NOT sources)
        return()
    endif()
    set(target ${kind}_${module})
    add_executable(${target} ${sources})
    target_link_libraries(${target} PRIVATE trawl_common_cfg trawl_testsupport ${ARG_DEPS} GTest::gtest_main GTest::gmock)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS "${kind};${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
endfunction()
