# Windows tests run under the Wine of the build's architecture (the toolchain file names the loader),
# each in a prefix that belongs to this build tree. A set-up test makes the prefix before any timed
# test needs it, so that a cold machine fails there with its own message, not with a time-out.

set(VARDEL_WINE_SERVER /usr/lib/wine/wineserver64)
if(NOT EXISTS ${VARDEL_WINE_SERVER})
  set(VARDEL_WINE_SERVER /usr/lib/wine/wineserver32)
endif()

# The environment of a Wine run in `prefix`, as tools/wine-env.sh sets it for a shell.
function(vardel_wine_environment out prefix)
  set(${out}
      "WINEARCH=${VARDEL_WINE_ARCH}" "WINEPREFIX=${prefix}" "WINELOADER=${VARDEL_WINE_LOADER}"
      "WINESERVER=${VARDEL_WINE_SERVER}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml="
      PARENT_SCOPE)
endfunction()

# A test named `fixture` that makes `prefix` ready; the other arguments go to tools/wine-prefix.sh.
# With SERVER, the tests that share the prefix also share one Wine server, started after the
# prefix is made and stopped once the last of them is done (tools/wine-server.sh says why).
function(vardel_add_wine_prefix fixture prefix)
  cmake_parse_arguments(ARG "SERVER" "" "" ${ARGN})
  vardel_wine_environment(environment ${prefix})
  add_test(NAME ${fixture} COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-prefix.sh
                                   ${ARG_UNPARSED_ARGUMENTS})
  set_tests_properties(${fixture} PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 900
                       ENVIRONMENT "${environment}")
  if(ARG_SERVER)
    add_test(NAME ${fixture}_server_start COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-server.sh start)
    set_tests_properties(${fixture}_server_start PROPERTIES FIXTURES_SETUP ${fixture}
                         DEPENDS ${fixture} TIMEOUT 300 ENVIRONMENT "${environment}")
    add_test(NAME ${fixture}_server_stop COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-server.sh stop)
    set_tests_properties(${fixture}_server_stop PROPERTIES FIXTURES_CLEANUP ${fixture}
                         TIMEOUT 120 ENVIRONMENT "${environment}")
  endif()
endfunction()

# Runs `test` in the prefix that `fixture` makes.
function(vardel_use_wine_prefix test fixture prefix)
  vardel_wine_environment(environment ${prefix})
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED ${fixture} ENVIRONMENT "${environment}")
endfunction()
