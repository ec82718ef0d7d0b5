# Writes the manual pages of orbench-cli from its own help, so that they never disagree with it:
# orbench-cli.1 (the program, its common options and commands) and orbench-cli-COMMAND.1 for each
# command. Run as a script:
#   cmake -DCLI=<orbench-cli> -DOUT=<folder> -DVERSION=<x.y.z> -DDOCS=<installed docs folder> -P ManPages.cmake
cmake_minimum_required(VERSION 3.25)

# Text as troff: backslashes, and lines that would start with a control character.
function(to_troff Text Result)
  string(REPLACE "\\" "\\e" Text "${Text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" Text "${Text}")
  set(${Result} "${Text}" PARENT_SCOPE)
endfunction()

function(help_of Result)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${CLI} ${ARGN} OUTPUT_VARIABLE Text RESULT_VARIABLE Code)
  if(NOT Code EQUAL 0)
    message(FATAL_ERROR "${CLI} ${ARGN} failed (${Code})")
  endif()
  set(${Result} "${Text}" PARENT_SCOPE)
endfunction()

# A page: NAME line, then the help as it stands (preformatted), then the shared closing sections.
function(write_page File Name Summary Help SeeAlso)
  to_troff("${Help}" Body)
  to_troff("${Summary}" Summary)
  file(WRITE "${File}"
    ".TH \"${Name}\" 1 \"\" \"Orbench ${VERSION}\" \"Orbench manual\"\n"
    ".SH NAME\n${Name} \\- ${Summary}\n"
    ".SH DESCRIPTION\n.nf\n${Body}.fi\n"
    ".SH EXIT STATUS\n0 success, 1 bad usage or input, 2 an output could not be written or memory ran out, "
    "3 the run did not do all that was asked, 130 stopped by Ctrl-C.\n"
    ".SH SEE ALSO\n${SeeAlso}\n"
    ".PP\nThe documentation in ${DOCS} (cli.md, file-formats.md, output-tree.md).\n")
endfunction()

file(MAKE_DIRECTORY "${OUT}")
help_of(Main --help)
# The commands: the lines under "Subcommands:" up to the first empty line.
string(REGEX MATCH "Subcommands:\n(.*)" Tail "${Main}")
string(REGEX REPLACE "\n\n.*" "" Tail "${CMAKE_MATCH_1}")
string(REPLACE "\n" ";" Lines "${Tail}")
set(Commands "")
set(SeeAlso "")
foreach(Line IN LISTS Lines)
  if(Line MATCHES "^  ([a-z-]+) +(.*)$" AND NOT CMAKE_MATCH_1 STREQUAL "help")
    list(APPEND Commands "${CMAKE_MATCH_1}")
    set(Summary_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    string(APPEND SeeAlso ".BR orbench-cli-${CMAKE_MATCH_1} (1)\n")
  endif()
endforeach()
if(NOT Commands)
  message(FATAL_ERROR "no commands found in the help of ${CLI}")
endif()
write_page("${OUT}/orbench-cli.1" "orbench-cli"
  "benchmark instances for operating-room scheduling from the command line" "${Main}" "${SeeAlso}")
foreach(Command IN LISTS Commands)
  help_of(Help help ${Command})
  write_page("${OUT}/orbench-cli-${Command}.1" "orbench-cli-${Command}" "${Summary_${Command}}" "${Help}"
             ".BR orbench-cli (1)")
endforeach()
