# Prints the size and the imported DLLs of a Windows program.
file(SIZE "${EXE}" size)
message(STATUS "SETUP.EXE: ${size} bytes")
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -p "${EXE}" OUTPUT_VARIABLE dump)
  string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
  string(REPLACE "DLL Name: " "" dlls "${dlls}")
  message(STATUS "SETUP.EXE imports: ${dlls}")
endif()
