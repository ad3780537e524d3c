# cmake -DINPUT=file -DOUTPUT=file.gz -P Gzip.cmake
# Compressed the Debian way: best compression, no name or time stamp inside,
# so the same page always gives the same bytes.
execute_process(COMMAND gzip -9 -n -c ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
