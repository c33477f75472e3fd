# The simulated PC, the same sources in the native build and in the win64 one (travok-sim.exe,
# whose drives are simulated under a real Windows). The build that includes this links the
# TOML reader itself.
add_library(travok_sim STATIC
  sim/windows/loader.cpp
  sim/sim_pc.cpp
  sim/sim_hosted_pc.cpp
  sim/windows/sim_system.cpp
  sim/windows/sim_registry.cpp
  sim/windows/sim_processes.cpp
  sim/windows/sim_desktop.cpp
  sim/machine/sim_device_tree.cpp
  sim/machine/sim_enumeration.cpp
  sim/machine/machine_toml.cpp
  sim/machine/machine_drives_toml.cpp
  sim/drivers/sim_csmi.cpp
  sim/drivers/sim_rste.cpp
  sim/machine/machine_rste_toml.cpp
  sim/drivers/sim_disk_stack.cpp
  sim/windows/sim_files.cpp
  sim/drivers/sim_storage.cpp
  sim/drivers/sim_storage_queries.cpp
  sim/drives/sim_ata_identify.cpp
  sim/drives/sim_sata_drive.cpp
  sim/drives/sim_sata_download.cpp
  sim/drives/sim_nvme_identity.cpp
  sim/drives/sim_nvme_drive.cpp
  sim/drivers/sim_nvme_stack.cpp
  sim/drivers/sim_irst.cpp
  sim/drives/sim_firmware_image.cpp
  sim/machine/machine_nvme_toml.cpp
  ${CMAKE_BINARY_DIR}/builtin_machine.cpp
)
target_link_libraries(travok_sim PUBLIC travok_core travok_format)
# The built-in machine is the text of its description file, compiled in.
file(READ ${CMAKE_SOURCE_DIR}/sim/machines/demo.toml TRAVOK_DEMO_MACHINE)
configure_file(sim/machine/builtin_machine.cpp.in ${CMAKE_BINARY_DIR}/builtin_machine.cpp @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/sim/machines/demo.toml)
