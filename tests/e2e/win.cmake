# The whole road under Wine: updaters built by the studio's own `vnpack build` from the real program,
# driven through the menu like a player.

# vnpack runs on the studio's machine: build it for this machine beside the Windows build.
include(${CMAKE_SOURCE_DIR}/cmake/host_vnpack.cmake)

# Stands in for the game and for the read-me's viewer: records that it ran, where and how.
add_executable(e2e_recorder WIN32 ${CMAKE_SOURCE_DIR}/tests/support/recorder_win.cpp)
target_link_options(e2e_recorder PRIVATE -s)

add_test(NAME e2e_updaters COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/make-updaters ${VN_HOST_VNPACK}
  $<TARGET_FILE:vnupdate> $<TARGET_FILE:e2e_recorder> ${CMAKE_CURRENT_BINARY_DIR}/updaters)
set_tests_properties(e2e_updaters PROPERTIES FIXTURES_SETUP e2e_updaters)

vn_win_test(update_e2e_test ${CMAKE_CURRENT_SOURCE_DIR}/update_e2e_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/e2e_game_win.cpp)
set_tests_properties(update_e2e_test PROPERTIES FIXTURES_REQUIRED "wine;e2e_updaters;small_drive")
# Hostile updaters are written by the test on the real program; a running game needs the stand-ins.
# Copied on every build, so the test never meets an older vnupdate.exe.
add_custom_target(e2e_programs ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:vnupdate> $<TARGET_FILE:standin_game>
          $<TARGET_FILE:standin_lib> ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS vnupdate standin_game standin_lib)
add_dependencies(update_e2e_test host_vnpack e2e_recorder vnupdate e2e_programs)

