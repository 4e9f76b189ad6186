# Packs the Windows release (cmake -P, run by the target tarvel_windows_zip):
#
#   STAGE    folder to fill (emptied first); its name is the zip's top folder
#   ZIP      the archive to write; ZIP.sha256 gets its SHA-256 beside it
#   PROGRAMS the executables
#   FONT, FONT_LICENSE, README, NOTICES_HEAD, NOTICES (copyright files of the
#            linked libraries and the font, in the order they are listed)
#
# Texts a person opens on Windows (README.txt, THIRD-PARTY-NOTICES.txt) get
# a UTF-8 byte order mark and CR LF line ends, so that every Notepad shows them.
cmake_minimum_required(VERSION 3.25)

foreach(v STAGE ZIP PROGRAMS FONT FONT_LICENSE README NOTICES_HEAD NOTICES)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "windows-package.cmake: ${v} not given")
  endif()
endforeach()
string(REPLACE "|" ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "|" ";" NOTICES "${NOTICES}")

# Text with LF or CR LF line ends -> BOM + CR LF.
function(write_windows_text out text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  string(ASCII 239 187 191 bom)  # EF BB BF as three bytes
  file(WRITE "${out}" "${bom}${text}")
endfunction()

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(COPY ${PROGRAMS} DESTINATION "${STAGE}")
file(COPY_FILE "${FONT}" "${STAGE}/mplus-2m-regular.ttf")
file(READ "${FONT_LICENSE}" text)
write_windows_text("${STAGE}/mplus-2m-regular.LICENSE.txt" "${text}")
file(READ "${README}" text)
write_windows_text("${STAGE}/README.txt" "${text}")

file(READ "${NOTICES_HEAD}" notices)
foreach(pair ${NOTICES})
  string(REGEX MATCH "^([^=]*)=(.*)$" _ "${pair}")
  set(title "${CMAKE_MATCH_1}")
  set(path "${CMAKE_MATCH_2}")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "windows-package.cmake: the notice of ${title} is missing: ${path}")
  endif()
  file(READ "${path}" text)
  string(APPEND notices "\n\n==============================================================================\n"
         "${title}\n"
         "==============================================================================\n\n" "${text}")
endforeach()
write_windows_text("${STAGE}/THIRD-PARTY-NOTICES.txt" "${notices}")

get_filename_component(parent "${STAGE}" DIRECTORY)
get_filename_component(top "${STAGE}" NAME)
file(REMOVE "${ZIP}" "${ZIP}.sha256")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${top}"
                WORKING_DIRECTORY "${parent}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "windows-package.cmake: packing ${ZIP} failed")
endif()
# The line sha256sum -c reads: the hash, two spaces, the file name.
file(SHA256 "${ZIP}" hash)
get_filename_component(zipname "${ZIP}" NAME)
file(WRITE "${ZIP}.sha256" "${hash}  ${zipname}\n")
