# libFuzzer targets (clang) for everything that parses bytes from outside: the package block,
# release files, manifests, command lines and version resources, the image load and the program
# slots; what drives and drivers answer (IDENTIFY DEVICE and its log and vendor reply, Identify
# Controller, the firmware slot log, the slot information block, the CSMI phy information, the
# RSTe driver's counts and lists, the sense data); and the simulated PC's machine files. A
# target is a file fuzz/<name>_fuzz.cpp, its seeds in fuzz/seeds/<name>; scripts/fuzz runs
# every one of them.
file(GLOB TRAVOK_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(source ${TRAVOK_FUZZ_SOURCES})
  get_filename_component(target ${source} NAME_WE)
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE travok_sim travok_packer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()
