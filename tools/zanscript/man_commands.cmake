# Writes the manual page's COMMANDS section for help2man --include: each
# command's own --help, verbatim, so the page says all that the help says.
#   cmake -DTOOL=<zanscript> -DOUT=<file> -P man_commands.cmake
cmake_minimum_required(VERSION 3.25)
set(text "[COMMANDS]\n")
foreach(command "cat" "show" "convert" "info" "info get" "info list" "info set" "info del")
  separate_arguments(words UNIX_COMMAND "${command}")
  execute_process(COMMAND ${TOOL} ${words} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "zanscript ${command} --help failed: ${result}")
  endif()
  # roff: a backslash is \e, and a line may not start a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND text ".SS \"zanscript ${command}\"\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUT} "${text}")
