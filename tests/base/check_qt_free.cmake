# Fails when a file of base/, codecs/, imaging/, document/ or settings/ includes a Qt header, when a library those
# targets link comes from Qt, or when the program built from all of their objects needs a Qt
# library. Run by CTest with SOURCE_DIR, LINKS ('|'-separated) and PROBE.
set(faults "")

foreach(folder base codecs imaging document settings)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp"
                            "${SOURCE_DIR}/${folder}/*.in")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
      string(APPEND faults "${name} includes a Qt header: ${line}\n")
    endforeach()
  endforeach()
endforeach()

string(REPLACE "|" ";" links "${LINKS}")
foreach(link IN LISTS links)
  if(link MATCHES "Qt[0-9]*::|[Qq]t[56]|libQt")
    string(APPEND faults "the Qt-free layers link ${link}\n")
  endif()
endforeach()

execute_process(COMMAND readelf --dynamic "${PROBE}" OUTPUT_VARIABLE dynamic RESULT_VARIABLE failed)
if(failed)
  string(APPEND faults "readelf could not read ${PROBE}\n")
endif()
string(REGEX MATCHALL "Shared library: \\[[^]]*Qt[^]]*\\]" needed "${dynamic}")
foreach(library IN LISTS needed)
  string(APPEND faults "a program of the Qt-free layers needs ${library}\n")
endforeach()

if(faults)
  message(FATAL_ERROR "Qt has reached the Qt-free layers:\n${faults}")
endif()
message(STATUS "base, codecs, imaging, document and settings are free of Qt (${LINKS})")
