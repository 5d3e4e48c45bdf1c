# Runs the fuzzer for SECONDS from the seeds in SEEDS. WORK is emptied and
# receives the writable corpus and any crash artifacts. For a target that
# takes PE files, PE_CORPUS is given (possibly empty): it (or the environment
# variable UB_PE_CORPUS, which wins) is passed as a further, read-only seed
# folder when it exists.
foreach(var FUZZER SEEDS WORK SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "FuzzSmoke.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(GLOB seeds ${SEEDS}/*)
if(NOT seeds)
  message(FATAL_ERROR "no seeds in ${SEEDS}")
endif()
file(COPY ${seeds} DESTINATION ${WORK}/corpus)

set(extra)
if(DEFINED PE_CORPUS)
  if(DEFINED ENV{UB_PE_CORPUS} AND NOT "$ENV{UB_PE_CORPUS}" STREQUAL "")
    set(PE_CORPUS "$ENV{UB_PE_CORPUS}")
  endif()
  if(PE_CORPUS AND IS_DIRECTORY "${PE_CORPUS}")
    set(extra "${PE_CORPUS}")
    message(STATUS "extra seeds from ${PE_CORPUS}")
  else()
    message(STATUS "no extra seeds (PE corpus folder absent)")
  endif()
endif()

get_filename_component(name ${FUZZER} NAME)
message(STATUS "fuzzing ${name} for ${SECONDS} s")
execute_process(
  COMMAND ${FUZZER}
    -max_total_time=${SECONDS}
    -rss_limit_mb=2048
    -timeout=10
    -max_len=65536
    -print_final_stats=1
    -artifact_prefix=${WORK}/artifacts/
    ${WORK}/corpus ${extra}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${name} failed (${rc}); see ${WORK}/artifacts")
endif()
