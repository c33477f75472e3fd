# Linux: the core on the simulated PC, the tools, and every behaviour test.
find_package(GTest REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(TOMLPLUSPLUS REQUIRED IMPORTED_TARGET tomlplusplus)
find_package(CLI11 REQUIRED)
# The release maker enciphers boot-time images with libcrypto; the tests check the program's
# own cipher against it.
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
enable_testing()

# The release maker and the release format it writes.
add_subdirectory(tools/travok-pack)
set_target_properties(travok-pack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(cmake/sim.cmake)
target_link_libraries(travok_sim PRIVATE PkgConfig::TOMLPLUSPLUS)


if(TRAVOK_FUZZ)
  include(cmake/fuzz.cmake)
  return()
endif()

# Links no release maker: the executable must hold exactly one configuration block so that
# it can itself be packed.
# The account of a whole run, which travok-sim prints and the tests read.
find_package(nlohmann_json REQUIRED)
add_library(travok_sim_account STATIC tools/travok-sim/account.cpp tools/travok-sim/report.cpp)
target_link_libraries(travok_sim_account PUBLIC travok_sim nlohmann_json::nlohmann_json)
add_executable(travok-sim tools/travok-sim/main.cpp tools/travok-sim/identify.cpp
               tools/travok-sim/host_none.cpp)
target_link_libraries(travok-sim PRIVATE travok_sim_account CLI11::CLI11)

add_executable(travok_tests
  tests/unit/framework/conversions_test.cpp
  tests/unit/framework/framework_test.cpp
  tests/unit/package/aes_context_test.cpp
  tests/unit/package/boot_files_test.cpp
  tests/unit/package/fw_image_test.cpp
  tests/unit/package/package_config_test.cpp
  tests/unit/package/program_slots_test.cpp
  tests/unit/app/command_line_test.cpp
  tests/unit/app/drive_list_test.cpp
  tests/unit/app/eligibility_test.cpp
  tests/unit/app/message_boxes_test.cpp
  tests/unit/app/boot_handoff_test.cpp
  tests/unit/app/flash_slot_test.cpp
  tests/unit/app/progress_tick_test.cpp
  tests/unit/discovery/dev_info_test.cpp
  tests/unit/devices/dev_mgr_test.cpp
  tests/unit/devices/device_node_test.cpp
  tests/unit/discovery/irst_driver_test.cpp
  tests/unit/discovery/drive_readers_test.cpp
  tests/unit/discovery/drive_scan_test.cpp
  tests/unit/sim/machine_toml_test.cpp
  tests/unit/platform/hi_timer_test.cpp
  tests/unit/platform/osinfo_test.cpp
  tests/unit/sim/sim_sata_drive_test.cpp
  tests/unit/sim/sim_sata_download_test.cpp
  tests/unit/sim/sim_nvme_drive_test.cpp
  tests/unit/sim/sim_nvme_drivers_test.cpp
  tests/unit/sim/sim_ata_drivers_test.cpp
  tests/unit/sim/sim_files_test.cpp
  tests/unit/sim/sim_hosted_pc_test.cpp
  tests/unit/sim/captured_identify_test.cpp
  tests/unit/transport/ata_device_test.cpp
  tests/unit/transport/ata_download_test.cpp
  tests/unit/transport/ata_sequences_test.cpp
  tests/unit/transport/csmi_test.cpp
  tests/unit/transport/nvme_test.cpp
  tests/unit/transport/rste_test.cpp
  tests/unit/transport/scsi_sense_test.cpp
  tests/unit/worker/kavlo_thread_test.cpp
  tests/unit/pack/manifest_reference_test.cpp
  tests/scenario/startup_test.cpp
  tests/scenario/startup_scan_test.cpp
  tests/scenario/startup_warnings_test.cpp
  tests/scenario/update_run_test.cpp
  tests/scenario/run_account_test.cpp
  tests/scenario/fault_matrix_test.cpp
  tests/scenario/deployment_doc_test.cpp
)
target_link_libraries(travok_tests PRIVATE travok_sim_account travok_packer OpenSSL::Crypto
                      PkgConfig::TOMLPLUSPLUS GTest::gtest_main)
target_compile_definitions(travok_tests PRIVATE TRAVOK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(travok_tests DISCOVERY_TIMEOUT 60)

# The Windows builds under Wine. They need the win32 and win64 presets built first; the test
# command builds all three.
set(TRAVOK_WIN64_DIR "${CMAKE_SOURCE_DIR}/build/win64" CACHE PATH "the win64 build")
set(TRAVOK_WIN32_DIR "${CMAKE_SOURCE_DIR}/build/win32" CACHE PATH "the win32 build")
add_executable(travok_wine_tests tests/wine/wine_test.cpp)
target_link_libraries(travok_wine_tests PRIVATE travok_packer travok_sim GTest::gtest_main)
target_compile_definitions(travok_wine_tests PRIVATE
  TRAVOK_WIN64_DIR="${TRAVOK_WIN64_DIR}" TRAVOK_WIN32_DIR="${TRAVOK_WIN32_DIR}"
  TRAVOK_BINARY_DIR="${CMAKE_BINARY_DIR}")
gtest_discover_tests(travok_wine_tests DISCOVERY_TIMEOUT 60 PROPERTIES RUN_SERIAL TRUE LABELS wine)
