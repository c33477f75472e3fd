# Linux: the core on the simulated PC, the tools, and every behaviour test.
find_package(GTest REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(TOMLPLUSPLUS REQUIRED IMPORTED_TARGET tomlplusplus)
find_package(CLI11 REQUIRED)
enable_testing()

# The release maker and the release format it writes.
add_subdirectory(tools/travok-pack)

add_library(travok_sim STATIC
  sim/loader.cpp
  sim/sim_pc.cpp
)
target_link_libraries(travok_sim PUBLIC travok_core travok_format)


add_executable(travok-sim tools/travok-sim/main.cpp)
target_link_libraries(travok-sim PRIVATE travok_sim travok_packer CLI11::CLI11)

add_executable(travok_tests
  tests/unit/framework/conversions_test.cpp
  tests/unit/framework/framework_test.cpp
  tests/unit/package/package_config_test.cpp
  tests/unit/app/command_line_test.cpp
  tests/scenario/startup_test.cpp
)
target_link_libraries(travok_tests PRIVATE travok_sim travok_packer GTest::gtest_main)
target_compile_definitions(travok_tests PRIVATE TRAVOK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(travok_tests DISCOVERY_TIMEOUT 60)
