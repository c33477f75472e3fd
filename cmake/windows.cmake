# Windows (mingw-w64): travok.exe, the product, statically linked.
enable_language(RC)

configure_file(win32/travok.manifest ${CMAKE_BINARY_DIR}/travok.manifest @ONLY)
configure_file(win32/travok.rc.in ${CMAKE_BINARY_DIR}/travok.rc @ONLY)

add_library(travok_win32 STATIC
  win32/layout_checks.cpp
  win32/storage_layout_checks.cpp
  win32/transport_layout_checks.cpp
  win32/nvme_layout_checks.cpp
  win32/device_seam.cpp
  win32/file_seam.cpp
  win32/process_seam.cpp
  win32/system_seam.cpp
  win32/windows_seam.cpp
  win32/win32_os.cpp
  win32/win32_wmi.cpp
)
# SetupAPI and cfgmgr32 are looked up at run time, not linked; WMI is reached through COM.
target_link_libraries(travok_win32 PUBLIC travok_core user32 shell32 comdlg32 version advapi32 ole32 oleaut32
                      wbemuuid uuid)

add_executable(travok WIN32 win32/winmain.cpp ${CMAKE_BINARY_DIR}/travok.rc)
target_link_libraries(travok PRIVATE travok_win32)
target_link_options(travok PRIVATE -static -static-libgcc -static-libstdc++)

# Answers message boxes of the program under Wine for the tests.
add_executable(answer_box tests/wine/answer_box.cpp)
target_link_options(answer_box PRIVATE -static)

# Reads a file version through the seam, as the program reads its own.
add_executable(version_probe tests/wine/version_probe.cpp)
target_link_libraries(version_probe PRIVATE travok_win32)
target_link_options(version_probe PRIVATE -static -static-libgcc -static-libstdc++)

# The platform services on Windows: the version code, and a wait's length, timer events and
# processor time.
add_executable(platform_probe tests/wine/platform_probe.cpp)
target_link_libraries(platform_probe PRIVATE travok_win32)
target_link_options(platform_probe PRIVATE -static -static-libgcc -static-libstdc++)

# Runs the enumeration against the system's own SetupAPI and WMI and prints the table.
add_executable(enumerate_probe tests/wine/enumerate_probe.cpp)
target_link_libraries(enumerate_probe PRIVATE travok_win32)
target_link_options(enumerate_probe PRIVATE -static -static-libgcc -static-libstdc++)

# Two threads pumping their own messages at once through the seam.
add_executable(message_probe tests/wine/message_probe.cpp)
target_link_libraries(message_probe PRIVATE travok_win32)
target_link_options(message_probe PRIVATE -static -static-libgcc -static-libstdc++)

# travok-sim.exe (x86_64, for the tests under Wine): the program on this Windows with only its
# storage simulated. The header-only libraries it uses come from the build machine, through a
# folder that holds only them, so that no Linux header of /usr/include stands in for mingw's.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_headers ${CMAKE_BINARY_DIR}/header-libraries)
  file(MAKE_DIRECTORY ${_headers})
  foreach(_library toml++ CLI nlohmann)
    if(NOT EXISTS /usr/include/${_library})
      message(FATAL_ERROR "/usr/include/${_library} is missing: run scripts/install-deps")
    endif()
    file(CREATE_LINK /usr/include/${_library} ${_headers}/${_library} SYMBOLIC)
  endforeach()
  add_library(travok_header_libraries INTERFACE)
  target_include_directories(travok_header_libraries SYSTEM INTERFACE ${_headers})
  target_compile_definitions(travok_header_libraries INTERFACE TOML_HEADER_ONLY=1)

  add_library(travok_format STATIC package/package_locator.cpp)
  target_include_directories(travok_format PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  include(cmake/sim.cmake)
  target_link_libraries(travok_sim PRIVATE travok_header_libraries)
  # GCC 12 at -O3 takes std::string's own copies for overlapping ones (as native-release does).
  # The simulated PC is test equipment: -O1 builds it in half the time and runs it fast enough.
  target_compile_options(travok_sim PRIVATE -Wno-restrict -O1)
  add_library(travok_sim_account STATIC tools/travok-sim/account.cpp tools/travok-sim/report.cpp)
  target_link_libraries(travok_sim_account PUBLIC travok_sim travok_header_libraries)
  target_compile_options(travok_sim_account PRIVATE -Wno-restrict)
  add_executable(travok-sim tools/travok-sim/main.cpp tools/travok-sim/identify.cpp
                 tools/travok-sim/host_windows.cpp)
  target_link_libraries(travok-sim PRIVATE travok_sim_account travok_win32)
  target_compile_options(travok-sim PRIVATE -Wno-restrict)
  target_link_options(travok-sim PRIVATE -static -static-libgcc -static-libstdc++)
endif()
