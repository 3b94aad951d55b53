# Runs the plug-in session twice through the Linux library and holds the runs against each
# other with compare_frames: the frames of two processes must be identical (the
# simulation is deterministic, threads and all), and compare_frames must see a replaced
# frame and a missing one. Called by ctest with -DSO_DRIVER= -DCOMPARE= -DPLUGIN= -DWORK_DIR=.

function(run expected_status)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "${ARGN}\nexited with ${status}, expected ${expected_status}\n${out}${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
run(0 ${SO_DRIVER} ${PLUGIN} ${WORK_DIR}/first)
run(0 ${SO_DRIVER} ${PLUGIN} ${WORK_DIR}/second)
run(0 ${COMPARE} ${WORK_DIR}/first ${WORK_DIR}/second)

# A frame replaced by a later one of the same size: a difference, named.
file(COPY ${WORK_DIR}/first/ DESTINATION ${WORK_DIR}/altered)
file(COPY_FILE ${WORK_DIR}/first/09-frame009.pam ${WORK_DIR}/altered/08-frame008.pam)
run(1 ${COMPARE} ${WORK_DIR}/first ${WORK_DIR}/altered)
if(NOT output MATCHES "first differing frame: 08-frame008.pam, [1-9][0-9]* of 19200 pixels")
  message(FATAL_ERROR "compare_frames did not name the replaced frame:\n${output}")
endif()

# A frame missing: the runs cannot be compared.
file(REMOVE ${WORK_DIR}/altered/00-frame000.pam)
run(2 ${COMPARE} ${WORK_DIR}/first ${WORK_DIR}/altered)
