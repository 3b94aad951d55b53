# Writes velunary(1) from the renderer's own help: the overview, then each command's help
# as the program prints it. Run as a script: -DVELUNARY=<program> -DOUT=<file>
# -DVERSION=<version> -DPLUGIN_DIR_FROM_BIN=<library folder relative to the program's>.

# The text of `velunary ARGS...`, escaped for roff: backslashes and minus signs spelled
# out, and a line starting with a control character kept as text.
function(help_text out)
  execute_process(COMMAND ${VELUNARY} ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "velunary ${ARGN} failed (${status})")
  endif()
  # The usage lines name the program as it was run: in the build tree, by its full path.
  string(REPLACE "${VELUNARY}" "velunary" text "${text}")
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_text(overview --help)
# The commands, as the overview lists them under its subcommands heading.
execute_process(COMMAND ${VELUNARY} --help OUTPUT_VARIABLE plain)
string(REGEX REPLACE ".*[Ss][Uu][Bb][Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:\n" "" listing "${plain}")
string(REGEX MATCHALL "(^|\n)  [a-z]+" names "${listing}")
set(commands "")
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  help_text(text ${name} --help)
  string(APPEND commands ".SS velunary ${name}\n.nf\n${text}.fi\n")
endforeach()

file(WRITE ${OUT} ".TH VELUNARY 1 \"\" \"velunary ${VERSION}\" \"User Commands\"
.SH NAME
velunary \\- render layers through the Velunary effect
.SH SYNOPSIS
.B velunary
.RI [ COMMAND ] \" [\" OPTIONS ]
.SH DESCRIPTION
velunary loads the Velunary effect library and drives it through a reference host exactly
as a compositing application would, writing the effect's frames as PNG images, a contact
sheet or a video.
.PP
.nf
${overview}.fi
.SH COMMANDS
${commands}.SH FILES
The effect library is looked for beside the program, then in
.I ${PLUGIN_DIR_FROM_BIN}
relative to the program's folder, so an installed prefix may be moved as a whole.
.SH ENVIRONMENT
.TP
.B VELUNARY_PLUGIN
The effect library to load when \\-\\-plugin is not given.
.SH SEE ALSO
.BR ffmpeg (1)
")
