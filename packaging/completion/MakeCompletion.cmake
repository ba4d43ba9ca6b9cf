# Writes the bash completion from the programs' --help: every "  --name"
# line is an option, "  --name VALUE" one that takes a value, and the lines
# indented under the tool's "--format F" name the formats.
# Run with -DTOOL= -DVIEWER= -DTEMPLATE= -DOUTPUT=.

function(read_help program options_var valued_var help_var)
  execute_process(COMMAND ${program} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${program} --help ended with ${status}")
  endif()
  set(help "\n${help}")
  string(REGEX MATCHALL "\n  --[a-z0-9-]+[^\n]*" lines "${help}")
  set(options)
  set(valued)
  foreach(line IN LISTS lines)
    string(REGEX MATCH "--[a-z0-9-]+" name "${line}")
    list(APPEND options ${name})
    if(line MATCHES "^\n  --[a-z0-9-]+ [A-Z]")
      list(APPEND valued ${name})
    endif()
  endforeach()
  list(JOIN options " " options)
  list(JOIN valued " " valued)
  set(${options_var} "${options}" PARENT_SCOPE)
  set(${valued_var} "${valued}" PARENT_SCOPE)
  set(${help_var} "${help}" PARENT_SCOPE)
endfunction()

read_help(${TOOL} TOOL_OPTIONS TOOL_VALUED tool_help)
read_help(${VIEWER} VIEWER_OPTIONS VIEWER_VALUED viewer_help)

string(REGEX MATCH "\n  --format [A-Z][^\n]*(\n                 [^\n]*)*" format_block "${tool_help}")
string(REGEX MATCHALL "\n                 [a-z0-9]+" format_lines "${format_block}")
set(formats)
foreach(line IN LISTS format_lines)
  string(STRIP "${line}" name)
  list(APPEND formats ${name})
endforeach()
if(NOT formats)
  message(FATAL_ERROR "no format names found under --format in ${TOOL} --help")
endif()
list(JOIN formats " " TOOL_FORMATS)

configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
