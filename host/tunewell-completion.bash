# Bash completion for tunewell.
#
# What to offer is read from the program's own help at each completion, which the program
# makes from its one table of commands and options: the commands from `--help`, and once the
# command is typed, exactly the options that command takes from `help COMMAND` ("Options for
# COMMAND:"), with the placeholders of its arguments from its usage line. So the completion never
# offers what the program does not have, and a new command or option needs no change here.
# What a value is follows the name of its placeholder: FILE and PATH complete files and folders,
# DIR folders, NAME of --trace-level the level names, COMMAND of help the commands; others
# complete nothing.

# Reads an option list from help text: sets _tw_options (every option named at the start of an
# entry in the section that begins with $2) and _tw_value (option -> placeholder of its value).
_tunewell_read_options() {
  local text=$1 heading=$2 line in=
  local entry_at='^  (-[a-z], )?(--[a-z][a-z-]*)( ([A-Z][A-Z:_]*))?( |$)'
  _tw_options=()
  while IFS= read -r line; do
    if [[ $line == "$heading"* ]]; then
      in=1
      continue
    fi
    [[ -z $in ]] && continue
    [[ -z $line ]] && break
    if [[ $line =~ $entry_at ]]; then
      [[ -n ${BASH_REMATCH[1]} ]] && _tw_options+=("${BASH_REMATCH[1]%, }")
      _tw_options+=("${BASH_REMATCH[2]}")
      [[ -n ${BASH_REMATCH[4]} ]] && _tw_value[${BASH_REMATCH[2]}]=${BASH_REMATCH[4]}
    fi
  done <<<"$text"
  return 0
}

# Sets _tw_commands from --help's "Commands:" section, and _tw_options and _tw_value from its
# "Options:" section. False when the program cannot be run.
_tunewell_read_help() {
  local help line command_at='^  ([a-z][a-z-]*)( |$)' in=
  help=$("$1" --help 2>/dev/null) || return 1
  _tw_commands=()
  while IFS= read -r line; do
    if [[ $line == Commands: ]]; then
      in=1
      continue
    fi
    [[ -z $in ]] && continue
    [[ -z $line ]] && break
    if [[ $line =~ $command_at && " ${_tw_commands[*]} " != *" ${BASH_REMATCH[1]} "* ]]; then
      _tw_commands+=("${BASH_REMATCH[1]}")
    fi
  done <<<"$help"
  _tunewell_read_options "$help" "Options:"
}

# Sets _tw_options and _tw_value to what the command takes, and _tw_takes to the placeholders of
# its positional arguments (from its usage lines: what is left without options, their values
# and bracketed parts, but "[COMMAND]").
_tunewell_read_command() {
  local help word line usage= skip=
  help=$("$1" help "$2" 2>/dev/null) || return 1
  _tunewell_read_options "$help" "Options for "
  while IFS= read -r line; do
    [[ -z $line ]] && break
    usage+=" ${line#*\] $2}"
  done <<<"$help"
  _tw_takes=
  for word in $usage; do
    if [[ -n $skip ]]; then
      [[ $word == *] ]] && skip=
    elif [[ $word == '[COMMAND]' ]]; then
      _tw_takes+=" COMMAND"
    elif [[ $word == [* ]]; then
      [[ $word == *] ]] || skip=1
    elif [[ $word == -* ]]; then
      [[ -n ${_tw_value[$word]-} ]] && skip=value
      continue
    elif [[ $word =~ ^[A-Z][A-Z_]*(\.\.\.)?$ && $skip != value ]]; then
      _tw_takes+=" ${word%...}"
    fi
    [[ $skip == value ]] && skip=
  done
  return 0
}

# Fills COMPREPLY with what a placeholder stands for.
_tunewell_complete_value() {
  local placeholder=$1 option=$2 cur=$3
  case $placeholder in
    FILE | PATH)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    DIR)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      ;;
    NAME)
      [[ $option == --trace-level ]] &&
        mapfile -t COMPREPLY < <(compgen -W "Error Warning Info Debug Detail Verbose" -- "$cur")
      ;;
    COMMAND)
      mapfile -t COMPREPLY < <(compgen -W "${_tw_commands[*]}" -- "$cur")
      ;;
  esac
}

_tunewell() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]/#\~/$HOME}
  local -a _tw_commands _tw_options
  local -A _tw_value
  local _tw_takes=
  COMPREPLY=()
  _tunewell_read_help "$program" || return 0

  # "--name=VALUE": bash splits the word at "=" when "=" is a word break.
  if [[ $cur == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    cur=
  elif [[ $prev == = ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == --*=* ]]; then
    prev=${cur%%=*}
    cur=${cur#*=}
  else
    prev=
    ((COMP_CWORD > 1)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  fi
  if [[ -n $prev && -n ${_tw_value[$prev]-} ]]; then
    _tunewell_complete_value "${_tw_value[$prev]}" "$prev" "$cur"
    return 0
  fi

  # The command is the first word that is neither an option nor an option's value.
  local i word command= ended=
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -z $ended && $word == -- ]]; then
      ended=1
    elif [[ -z $ended && $word == -* ]]; then
      [[ $word != *=* && -n ${_tw_value[$word]-} ]] && ((i++))
    elif [[ $word == = ]]; then
      ((i++))
    else
      command=$word
      break
    fi
  done
  # Once the command is known: what it takes, and nothing else.
  if [[ -n $command ]]; then
    _tunewell_read_command "$program" "$command" || return 0
  fi

  if [[ -z $ended && $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${_tw_options[*]}" -- "$cur")
  elif [[ -z $command ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${_tw_commands[*]}" -- "$cur")
  else
    for word in $_tw_takes; do
      if [[ $word == FILE || $word == PATH || $word == DIR || $word == COMMAND ]]; then
        _tunewell_complete_value "$word" "" "$cur"
        break
      fi
    done
  fi
  return 0
}

complete -F _tunewell tunewell
