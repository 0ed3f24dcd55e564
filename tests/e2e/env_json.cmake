# Runs `vnpack env FILE --json` and checks that the output parses as JSON and holds what the demo sets.
execute_process(COMMAND ${CMD} env ${FILE} --json RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "exit code ${rc}\n${err}")
endif()
string(JSON stops ERROR_VARIABLE bad TYPE "${out}" updaterStops)
if(bad)
  message(FATAL_ERROR "not JSON: ${bad}\n${out}")
endif()
string(JSON title GET "${out}" settings TITLEBAR value)
string(JSON ver GET "${out}" settings CHKREGVER value)
string(JSON regs LENGTH "${out}" sections reg)
string(JSON warnings LENGTH "${out}" warnings)
if(NOT stops STREQUAL "NULL" OR NOT title STREQUAL "デモ ゲーム" OR NOT ver EQUAL 100 OR NOT regs EQUAL 3
   OR NOT warnings EQUAL 0)
  message(FATAL_ERROR "unexpected report: stops=${stops} title=${title} ver=${ver} reg=${regs} "
                      "warnings=${warnings}\n${out}")
endif()
