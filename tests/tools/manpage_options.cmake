# Checks that a manual page says what the program's --help says:
#   cmake -DPROGRAM=<executable> -DNAME=<name in the usage line> -DPAGE=<roff page> -P this
# Every option --help lists must appear in the page's SYNOPSIS or OPTIONS (and an option
# that --help shows with a value, such as "--cards N", with that value in OPTIONS), and
# every usage line of --help must appear in the SYNOPSIS. The page may say more than
# --help (an option documented ahead of the program), never less.
foreach(_v PROGRAM NAME PAGE)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "manpage_options: ${_v} is not set")
  endif()
endforeach()

set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND "${PROGRAM}" --help RESULT_VARIABLE _rc OUTPUT_VARIABLE _help
                ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0 OR _help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${_rc}): ${_err}")
endif()

# The page as a reader sees it: formatted by man, plain text, long lines, no hyphenation.
set(ENV{MANWIDTH} 1000)
execute_process(COMMAND man -l "${PAGE}" RESULT_VARIABLE _rc OUTPUT_VARIABLE _page
                ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0 OR _page STREQUAL "")
  message(FATAL_ERROR "man -l ${PAGE} failed (${_rc}): ${_err}")
endif()

# The text of one section of the page, its white space made single blanks.
function(page_section title out)
  string(FIND "${_page}" "\n${title}\n" _at)
  if(_at LESS 0)
    message(FATAL_ERROR "${PAGE} has no section ${title}")
  endif()
  string(LENGTH "\n${title}\n" _len)
  math(EXPR _at "${_at} + ${_len}")
  string(SUBSTRING "${_page}" ${_at} -1 _rest)
  # The section ends where the next heading (a line not indented) begins.
  if(_rest MATCHES "^(.*)\n[A-Z][A-Z ]+\n")
    string(REGEX REPLACE "\n[A-Z][A-Z ]+\n.*" "" _rest "${_rest}")
  endif()
  string(REGEX REPLACE "[ \t\n]+" " " _rest " ${_rest} ")
  set(${out} "${_rest}" PARENT_SCOPE)
endfunction()
page_section(SYNOPSIS _synopsis)
page_section(OPTIONS _options)

set(_failures "")
# Square brackets and semicolons would bend CMake's lists: the lines are split with
# them hidden and each gets them back.
string(ASCII 1 _lb)
string(ASCII 2 _rb)
string(ASCII 3 _sc)
string(REPLACE "[" "${_lb}" _hidden "${_help}")
string(REPLACE "]" "${_rb}" _hidden "${_hidden}")
string(REPLACE ";" "${_sc}" _hidden "${_hidden}")
string(REPLACE "\n" ";" _lines "${_hidden}")
foreach(_line IN LISTS _lines)
  string(REPLACE "${_lb}" "[" _line "${_line}")
  string(REPLACE "${_rb}" "]" _line "${_line}")
  string(REPLACE "${_sc}" ";" _line "${_line}")
  string(REGEX REPLACE "[ \t]+" " " _norm " ${_line} ")
  # A usage line: "usage: NAME ..." or an indented "NAME ..." under it.
  if(_norm MATCHES "^ ([Uu]sage: )?${NAME} (.*[^ ]) $")
    string(FIND "${_synopsis}" " ${NAME} ${CMAKE_MATCH_2} " _at)
    if(_at LESS 0)
      string(APPEND _failures "  the usage \"${NAME} ${CMAKE_MATCH_2}\" is not in the SYNOPSIS\n")
    endif()
  endif()
  # An option line: "  -h, --help  text" or "  --cards N  text".
  if(_line MATCHES "^  +((-[A-Za-z?], )?(--?[A-Za-z][A-Za-z0-9-]*)( [A-Z][A-Z_]*)?)( <[^>]*>)?(  |$)")
    set(_option "${CMAKE_MATCH_3}")
    set(_value "${CMAKE_MATCH_4}")
    string(FIND "${_options}" " ${_option}${_value} " _at)
    if(_at LESS 0)
      string(FIND "${_options}" " ${_option}${_value}, " _at)
    endif()
    if(_at LESS 0)
      string(APPEND _failures "  the option \"${_option}${_value}\" is not in the OPTIONS\n")
    endif()
  endif()
  # Every option named anywhere in --help (the usage line, the short forms).
  string(REGEX MATCHALL "[ [(|,]--?[A-Za-z][A-Za-z0-9-]*" _named " ${_line}")
  string(REPLACE "[" "" _named "${_named}")
  foreach(_o IN LISTS _named)
    string(REGEX REPLACE "^[ (|,]" "" _o "${_o}")
    string(REGEX MATCH "[ [(|]${_o}[] )|,]" _in_synopsis "${_synopsis}")
    string(REGEX MATCH "[ [(|]${_o}[] )|,]" _in_options "${_options}")
    if(NOT _in_synopsis AND NOT _in_options)
      string(APPEND _failures "  ${_o} is in neither the SYNOPSIS nor the OPTIONS\n")
    endif()
  endforeach()
endforeach()

if(_failures)
  message(FATAL_ERROR "${PAGE} does not say what ${NAME} --help says:\n${_failures}"
                      "--help:\n${_help}")
endif()
message(STATUS "${PAGE} covers ${NAME} --help")
