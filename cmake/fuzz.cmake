# libFuzzer targets (clang) for everything that parses bytes from outside: the package block,
# release files, manifests, command lines and version resources, and the sense data drivers
# return.
foreach(target package_block release_file manifest command_line scsi_sense)
  add_executable(${target}_fuzz fuzz/${target}_fuzz.cpp)
  target_link_libraries(${target}_fuzz PRIVATE travok_sim travok_packer)
  target_link_options(${target}_fuzz PRIVATE -fsanitize=fuzzer)
endforeach()
